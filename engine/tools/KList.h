// KList<T>: an intrusive circular doubly linked list of KObjectListable members.
// The list object is its own sentinel: an empty list links to itself. The list
// never owns its members; destroying it only unlinks them.
#pragma once

#include "tools/KObjectListable.h"

template <class T>
class KList : public KObjectListable {
public:
  KList() { _lpListNext = _lpListPred = this; }
  ~KList() override {
    KObjectListable *o = _lpListNext;
    while (o != this && o != nullptr) {
      KObjectListable *next = o->_lpListNext;
      o->_lpListNext = o->_lpListPred = nullptr;
      --_nObjects;
      o = next;
    }
    _lpListNext = _lpListPred = nullptr;
  }
  KList(const KList &) = delete;
  KList &operator=(const KList &) = delete;

  int _nObjects = 0;

  int getCount() const { return _nObjects; }
  // First and last members, or null when empty.
  T *getHead() const { return _lpListNext == this ? nullptr : static_cast<T *>(_lpListNext); }
  T *getTail() const { return _lpListPred == this ? nullptr : static_cast<T *>(_lpListPred); }
  // The member after `o`, or null at the end.
  T *getNext(T *o) const {
    KObjectListable *n = o->_lpListNext;
    return n == this ? nullptr : static_cast<T *>(n);
  }

  void addToTail(T *o) { insertAfter(_lpListPred, o); }
  void addToHead(T *o) { insertAfter(this, o); }

  // Unlinks `o` (a member of this list); it is not destroyed.
  void remove(T *o) {
    if (o == nullptr || o->_lpListNext == nullptr) return;  // not linked
    o->_lpListPred->_lpListNext = o->_lpListNext;
    o->_lpListNext->_lpListPred = o->_lpListPred;
    o->_lpListNext = o->_lpListPred = nullptr;
    --_nObjects;
  }

private:
  // An object already in a list is left where it is: linking it twice would
  // corrupt both lists.
  void insertAfter(KObjectListable *at, T *o) {
    if (o == nullptr || o->_lpListNext != nullptr) return;
    o->_lpListPred = at;
    o->_lpListNext = at->_lpListNext;
    at->_lpListNext->_lpListPred = o;
    at->_lpListNext = o;
    ++_nObjects;
  }
};
