// KObjectBase and KObjectListable: the root of the intrusive list KList uses.
// The links belong to whichever list holds the object; no locking.
#pragma once

class KObjectBase {
public:
  virtual ~KObjectBase() {}
};

class KObjectListable : public KObjectBase {
public:
  KObjectListable *_lpListNext = nullptr;
  KObjectListable *_lpListPred = nullptr;
  virtual ~KObjectListable() {}
};
