// A frame around one embedded settings page: a dark caption bar across the
// top with an optional icon and white text, a centred title in the body and a
// thin border around the embedded page. The caption and body layout come from
// CCaptionPainter; CPageFrame is the window that paints them. There is no theme
// library here, so the body keeps the button-face background.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

#include "frontend/controls/image_list.h"

class QPainter;

// The caption-and-title painter a framing window implements.
class CCaptionPainter {
 public:
  virtual ~CCaptionPainter() = default;

  virtual bool Create(QWidget* parent, const QRect& rect, int id) = 0;
  // The window it paints.
  virtual QWidget* GetWindow() = 0;
  virtual void SetCaptionVisible(bool visible);
  virtual void SetCaptionHeight(int height);
  virtual void SetCaption(const QString& text, const QPixmap& icon);
  virtual void SetTitle(const QString& text);
  // The title's alignment (centred both ways by default); always one line.
  virtual void SetTitleFormat(Qt::Alignment flags);
  // The caption when visible, then the title in the client area.
  virtual void Draw(QPainter& painter);
  // The client rectangle below the caption when it is visible.
  virtual QRect GetClientArea();
  virtual void DrawTitle(QPainter& painter, const QRect& rect);
  // The client rectangle's width, caption height tall when visible, else empty.
  virtual QRect GetCaptionRect();
  virtual void DrawCaption(QPainter& painter, const QRect& rect, const QString& text, const QPixmap& icon);

  bool CaptionVisible() const { return captionVisible_; }
  int CaptionHeight() const { return captionHeight_; }
  const QString& Caption() const { return caption_; }
  const QString& Title() const { return title_; }
  Qt::Alignment TitleFormat() const { return titleFormat_; }

 protected:
  // Repaints a part of the window when it exists.
  void Invalidate(const QRect& rect);
  QRect WindowClientRect();

  bool captionVisible_ = false;
  int captionHeight_ = 0;
  QString caption_;
  QPixmap icon_;
  QString title_;
  Qt::Alignment titleFormat_ = Qt::AlignCenter;
};

class CPageFrame : public QWidget, public CCaptionPainter {
 public:
  // The caption bar's colours and the border around the page.
  static constexpr uint32_t kCaptionColor = 0x800000;  // COLORREF
  static constexpr uint32_t kBorderColor = 0xB99D7F;   // COLORREF

  explicit CPageFrame(QWidget* parent = nullptr);
  ~CPageFrame() override;

  // A visible child of parent at rect, titled "Page Frame".
  bool Create(QWidget* parent, const QRect& rect, int id) override;
  QWidget* GetWindow() override { return this; }
  // The icon goes into a one-image list of its own size; a null icon leaves
  // the caption without one.
  void SetCaption(const QString& text, const QPixmap& icon) override;
  void DrawCaption(QPainter& painter, const QRect& rect, const QString& text, const QPixmap& icon) override;

  // The page the border goes around (a sibling or a child; not owned).
  void SetPage(QWidget* page);
  QWidget* Page() const { return page_; }
  const CImageList* IconList() const { return icons_.get(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::unique_ptr<CImageList> icons_;
  QPointer<QWidget> page_;
};
