#include "frontend/ui/theme_lib.h"

CThemeLib& CThemeLib::Instance() {
  static CThemeLib instance;
  return instance;
}

HTHEME CThemeLib::OpenThemeData(QWidget*, const char*) { return nullptr; }

int CThemeLib::CloseThemeData(HTHEME theme) { return available_ && theme != nullptr ? 1 : 0; }

int CThemeLib::DrawThemeBackground(HTHEME theme, QPainter*, int, int, const QRect&, const QRect*) {
  return available_ && theme != nullptr ? 1 : 0;
}

int CThemeLib::DrawThemeParentBackground(QWidget* window, QPainter*, const QRect* rect) {
  return available_ && window != nullptr && rect != nullptr ? 1 : 0;
}

int CThemeLib::IsAppThemed() { return 0; }

CThemeHandle::~CThemeHandle() { CloseThemeData(); }

bool CThemeHandle::OpenThemeData(QWidget*, const char16_t*) {
  CloseThemeData();
  theme_ = nullptr;  // no library: no theme
  return false;
}

HRESULT CThemeHandle::CloseThemeData() {
  if (theme_ == nullptr) return 0;
  theme_ = nullptr;
  return E_FAIL;
}

HRESULT CThemeHandle::DrawThemeBackground(QPainter*, int, int, const QRect&, const QRect*) { return E_FAIL; }

HRESULT CThemeHandle::GetThemeBackgroundContentRect(QPainter*, int, int, const QRect&, QRect*) { return E_FAIL; }

int CThemeHandle::IsAppThemed() { return 0; }
