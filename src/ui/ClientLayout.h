#pragma once

#include <QLayout>
#include <QRect>
#include <QSize>
#include <vector>

namespace tess {

// Lays out controls given at their place in a client area of `designSize` as the area grows:
// each control keeps its distance to the edges it is anchored to. Stacking order is left to the
// widgets themselves.
class TClientLayout : public QLayout {
 public:
  enum class Anchor {
    Fill,         // stretched over the whole area
    Right,        // keeps its size and its distance to the right edge
    RightGrowing  // as Right, and keeps its distance to the bottom edge as well, growing in height
  };

  explicit TClientLayout(const QSize& designSize, QWidget* parent = nullptr);
  ~TClientLayout() override;

  // `geometry` is the control's place in the area at its design size.
  void addWidget(QWidget* widget, const QRect& geometry, Anchor anchor);

  void addItem(QLayoutItem* item) override;
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  int count() const override;
  QSize sizeHint() const override;
  QSize minimumSize() const override;
  void setGeometry(const QRect& rect) override;

 private:
  struct Entry {
    QLayoutItem* item;
    QRect geometry;
    Anchor anchor;
  };
  QSize FDesignSize;
  std::vector<Entry> FEntries;
};

}  // namespace tess
