#pragma once

#include <QListView>

namespace tess {

// The main window's sprite list. Every mouse-button press is reported through mouseDown (also
// the second press of a double click) before the list handles it; a right-button press leaves
// the selection and the current row alone, so that the context menu acts on what was selected.
class TSpriteListBox : public QListView {
  Q_OBJECT

 public:
  explicit TSpriteListBox(QWidget* parent = nullptr);

 signals:
  void mouseDown(Qt::MouseButton button, const QPoint& pos);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool FReportedPress = false;
};

}  // namespace tess
