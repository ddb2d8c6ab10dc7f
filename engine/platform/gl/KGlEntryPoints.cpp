// The OpenGL entry points the GL backend calls, resolved from the system's
// libGL when first used. The program does not link libGL, so a run on the software
// Direct3D device never maps OpenGL (or, through it, a Mesa driver and LLVM).
// A missing library or entry point makes the call do nothing and return zero.
#include <GL/gl.h>
#include <dlfcn.h>

#include "tools/KLog.h"

namespace {

void *library() {
  static void *handle = [] {
    // RTLD_GLOBAL: the same library SDL opens for its OpenGL windows.
    void *h = dlopen("libGL.so.1", RTLD_NOW | RTLD_GLOBAL);
    if (!h) h = dlopen("libGL.so", RTLD_NOW | RTLD_GLOBAL);
    if (!h) logTrouble("video", "OpenGL library not available: %s", dlerror());
    return h;
  }();
  return handle;
}

void *entry(const char *name) {
  void *h = library();
  return h ? dlsym(h, name) : nullptr;
}

template <class T>
T none() {
  return T();
}

}  // namespace

#define PABRIX_GL_ENTRIES(F) \
  F(void, glBegin, (GLenum mode), (mode)) \
  F(void, glBindTexture, (GLenum target, GLuint texture), (target, texture)) \
  F(void, glBlendFunc, (GLenum sfactor, GLenum dfactor), (sfactor, dfactor)) \
  F(void, glClear, (GLbitfield mask), (mask)) \
  F(void, glClearColor, (GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha), (red, green, blue, alpha)) \
  F(void, glColor3f, (GLfloat red, GLfloat green, GLfloat blue), (red, green, blue)) \
  F(void, glColor4f, (GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha), (red, green, blue, alpha)) \
  F(void, glColor4fv, (const GLfloat *v), (v)) \
  F(void, glDeleteTextures, (GLsizei n, const GLuint *textures), (n, textures)) \
  F(void, glDisable, (GLenum cap), (cap)) \
  F(void, glEnable, (GLenum cap), (cap)) \
  F(void, glEnd, (void), ()) \
  F(void, glFlush, (void), ()) \
  F(void, glGenTextures, (GLsizei n, GLuint *textures), (n, textures)) \
  F(void, glGetFloatv, (GLenum pname, GLfloat *params), (pname, params)) \
  F(void, glGetIntegerv, (GLenum pname, GLint *params), (pname, params)) \
  F(const GLubyte *, glGetString, (GLenum name), (name)) \
  F(GLboolean, glIsEnabled, (GLenum cap), (cap)) \
  F(void, glLoadIdentity, (void), ()) \
  F(void, glMatrixMode, (GLenum mode), (mode)) \
  F(void, glOrtho, (GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near_val, GLdouble far_val), (left, right, bottom, top, near_val, far_val)) \
  F(void, glPixelStorei, (GLenum pname, GLint param), (pname, param)) \
  F(void, glPopMatrix, (void), ()) \
  F(void, glPushMatrix, (void), ()) \
  F(void, glReadBuffer, (GLenum mode), (mode)) \
  F(void, glReadPixels, (GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid *pixels), (x, y, width, height, format, type, pixels)) \
  F(void, glRotatef, (GLfloat angle, GLfloat x, GLfloat y, GLfloat z), (angle, x, y, z)) \
  F(void, glScalef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z)) \
  F(void, glShadeModel, (GLenum mode), (mode)) \
  F(void, glTexCoord2f, (GLfloat s, GLfloat t), (s, t)) \
  F(void, glTexEnvi, (GLenum target, GLenum pname, GLint param), (target, pname, param)) \
  F(void, glTexImage2D, (GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border, GLenum format, GLenum type, const GLvoid *pixels), (target, level, internalFormat, width, height, border, format, type, pixels)) \
  F(void, glTexParameteri, (GLenum target, GLenum pname, GLint param), (target, pname, param)) \
  F(void, glTexSubImage2D, (GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width, GLsizei height, GLenum format, GLenum type, const GLvoid *pixels), (target, level, xoffset, yoffset, width, height, format, type, pixels)) \
  F(void, glTranslatef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z)) \
  F(void, glVertex2d, (GLdouble x, GLdouble y), (x, y)) \
  F(void, glVertex2f, (GLfloat x, GLfloat y), (x, y)) \
  F(void, glVertex2i, (GLint x, GLint y), (x, y)) \
  F(void, glVertex3i, (GLint x, GLint y, GLint z), (x, y, z)) \
  F(void, glViewport, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))

#define PABRIX_GL_DEFINE(ret, name, params, args)                     \
  extern "C" ret GLAPIENTRY name params {                             \
    typedef ret(GLAPIENTRY * Fn) params;                              \
    static const Fn fn = reinterpret_cast<Fn>(entry(#name));          \
    if (!fn) return none<ret>();                                            \
    return fn args;                                                   \
  }

PABRIX_GL_ENTRIES(PABRIX_GL_DEFINE)
