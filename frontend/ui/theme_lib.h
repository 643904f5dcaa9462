// Visual-style (theme) drawing for the controls that offer it, with the
// classic look as the fallback. There is no visual-styles library on this
// platform, so both wrappers are the "library missing" case: every call
// reports failure, nothing is drawn, and callers draw their classic parts
// (frontend/ui/classic_draw.h).
//
// CThemeLib is one process-wide object bound all or nothing; CThemeHandle is
// embedded in a control and holds one theme handle of its own.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

class QPainter;
class QRect;
class QWidget;

using HTHEME = void*;

class CThemeLib {
 public:
  CThemeLib() = default;
  virtual ~CThemeLib() = default;
  CThemeLib(const CThemeLib&) = delete;
  CThemeLib& operator=(const CThemeLib&) = delete;

  // The process's instance.
  static CThemeLib& Instance();

  // True only when the library and all its functions are there.
  bool IsAvailable() const { return available_; }
  // Every call answers 1 for success, 0 for failure (null for a handle).
  HTHEME OpenThemeData(QWidget* window, const char* classList);
  int CloseThemeData(HTHEME theme);
  int DrawThemeBackground(HTHEME theme, QPainter* dc, int part, int state, const QRect& rect, const QRect* clip);
  int DrawThemeParentBackground(QWidget* window, QPainter* dc, const QRect* rect);
  int IsAppThemed();

 private:
  bool available_ = false;  // no library to bind here
};

class CThemeHandle {
 public:
  CThemeHandle() = default;
  ~CThemeHandle();
  CThemeHandle(const CThemeHandle&) = delete;
  CThemeHandle& operator=(const CThemeHandle&) = delete;

  // Closes a held handle first; true when a theme is open afterwards.
  bool OpenThemeData(QWidget* window, const char16_t* classList);
  // 0 when nothing is held; else the library's answer (E_FAIL without one).
  HRESULT CloseThemeData();
  HRESULT DrawThemeBackground(QPainter* dc, int part, int state, const QRect& rect, const QRect* clip);
  // E_FAIL without a library, content left as the caller filled it.
  HRESULT GetThemeBackgroundContentRect(QPainter* dc, int part, int state, const QRect& bounds, QRect* content);
  int IsAppThemed();
  bool IsNull() const { return theme_ == nullptr; }

 private:
  HTHEME theme_ = nullptr;
};
