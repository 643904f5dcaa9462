// The main window's output-profile box: it shows one summary line, "<node
// folder>/<text>", as the node's icon followed by the text, and a left click
// asks its window for the output-format dialog instead of dropping down.
#pragma once

#include <QComboBox>
#include <QPixmap>
#include <map>
#include <string>

// The command a click sends to the window the box sits in.
constexpr int kProfileComboCommand = 32772;

class CProfileCombo : public QComboBox {
 public:
  explicit CProfileCombo(QWidget* parent = nullptr);

  // The node folder named before the first '/' ("" when there is none) and
  // the text shown after the icon.
  static std::string NodeOfLine(const std::string& line);
  static std::string TextOfLine(const std::string& line);
  // The node's icon ("tree/<node>/info.bmp", magenta transparent); null when
  // it cannot be read.
  QPixmap NodeIcon(const std::string& node);

  void showPopup() override {}

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  std::map<std::string, QPixmap> icons_;
};
