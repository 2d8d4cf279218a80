#include "toolkit/qt/ListView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <algorithm>
#include <numeric>
#include <string>

#include "toolkit/Exception.h"

namespace zelvaro {

TListView::TListView(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  header()->setSectionsClickable(true);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);

  // The selection stays as visible without the focus as with it.
  QPalette p = palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
  }
  setPalette(p);

  connect(header(), &QHeaderView::sectionClicked, this, &TListView::ColumnClicked);
  connect(header(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return;
    int limit = columns_[column].max_width;
    if (limit > 0 && size > limit) header()->resizeSection(column, limit);
  });
}

void TListView::SetColumns(const std::vector<TListColumn>& columns) {
  columns_ = columns;
  setColumnCount(static_cast<int>(columns.size()));
  QStringList captions;
  for (const TListColumn& c : columns) captions << c.caption;
  setHeaderLabels(captions);
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    const TListColumn& c = columns[i];
    int width = c.max_width > 0 ? std::min(c.width, c.max_width) : c.width;
    header()->resizeSection(i, width);
    headerItem()->setTextAlignment(i, c.alignment | Qt::AlignVCenter);
    for (int row = 0; row < topLevelItemCount(); ++row) {
      topLevelItem(row)->setTextAlignment(i, c.alignment | Qt::AlignVCenter);
    }
  }
}

void TListView::Clear() { clear(); }

void TListView::BeginUpdate() {
  if (update_depth_++ == 0) setUpdatesEnabled(false);
}

void TListView::EndUpdate() {
  if (update_depth_ == 0) return;
  if (--update_depth_ == 0) setUpdatesEnabled(true);
}

int TListView::Append(const QString& caption, const QStringList& sub_items) {
  QStringList texts;
  texts.reserve(sub_items.size() + 1);
  texts << caption << sub_items;
  addTopLevelItem(MakeItem(texts));
  return topLevelItemCount() - 1;
}

void TListView::AppendRows(const QList<QStringList>& rows) {
  QList<QTreeWidgetItem*> items;
  items.reserve(rows.size());
  for (const QStringList& texts : rows) items.append(MakeItem(texts));
  addTopLevelItems(items);
}

QTreeWidgetItem* TListView::MakeItem(const QStringList& texts) const {
  auto* item = new QTreeWidgetItem(texts);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
  for (int i = 0; i < static_cast<int>(columns_.size()); ++i) {
    item->setTextAlignment(i, columns_[i].alignment | Qt::AlignVCenter);
  }
  return item;
}

int TListView::RowCount() const { return topLevelItemCount(); }

QTreeWidgetItem* TListView::Row(int row) const {
  if (row < 0 || row >= topLevelItemCount()) {
    throw ERangeError("List index out of bounds (" + std::to_string(row) + ")");
  }
  return topLevelItem(row);
}

QString TListView::Caption(int row) const { return Row(row)->text(0); }

QString TListView::SubItem(int row, int index) const {
  QTreeWidgetItem* item = Row(row);
  if (index < 0 || index + 1 >= item->columnCount()) {
    throw ERangeError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return item->text(index + 1);
}

void TListView::SetSubItem(int row, int index, const QString& text) {
  QTreeWidgetItem* item = Row(row);
  if (index < 0) throw ERangeError("List index out of bounds (" + std::to_string(index) + ")");
  item->setText(index + 1, text);
}

int TListView::SelectedIndex() const {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  if (selected.isEmpty()) return -1;
  return indexOfTopLevelItem(selected.first());
}

void TListView::Select(int row) {
  if (row == -1) {
    clearSelection();
    return;
  }
  QTreeWidgetItem* item = Row(row);
  setCurrentItem(item);
  if (!item->isSelected()) item->setSelected(true);
}

void TListView::ScrollIntoView(int row) {
  QTreeWidgetItem* item = Row(row);
  const QRect rect = visualItemRect(item);
  if (rect.isValid() && rect.intersects(viewport()->rect())) return;
  scrollToItem(item, QAbstractItemView::EnsureVisible);
}

void TListView::SetCompare(std::function<int(int, int)> compare) { compare_ = std::move(compare); }

void TListView::Sort() {
  const int n = topLevelItemCount();
  if (!compare_ || n < 2) return;
  // The comparison reads rows by their indices, so the rows stay where they
  // are until the order is known.
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [this](int a, int b) { return compare_(a, b) < 0; });

  QTreeWidgetItem* selected = nullptr;
  if (int index = SelectedIndex(); index >= 0) selected = topLevelItem(index);
  QTreeWidgetItem* current = currentItem();

  BeginUpdate();
  QList<QTreeWidgetItem*> items = invisibleRootItem()->takeChildren();
  QList<QTreeWidgetItem*> sorted;
  sorted.reserve(n);
  for (int index : order) sorted.append(items[index]);
  addTopLevelItems(sorted);
  if (current != nullptr) setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
  if (selected != nullptr) selected->setSelected(true);
  EndUpdate();
}

void TListView::ShowSortIndicator(int column, bool ascending) {
  header()->setSortIndicatorShown(column >= 0);
  if (column >= 0) {
    header()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
  }
}

void TListView::mousePressEvent(QMouseEvent* event) {
  QTreeWidget::mousePressEvent(event);
  if (event->button() == Qt::LeftButton && itemAt(event->position().toPoint()) != nullptr) {
    emit Clicked();
  }
}

void TListView::mouseMoveEvent(QMouseEvent* event) {
  const int before = SelectedIndex();
  QTreeWidget::mouseMoveEvent(event);
  if (SelectedIndex() != before) emit SelectionMoved();
}

void TListView::keyPressEvent(QKeyEvent* event) {
  const int before = SelectedIndex();
  QTreeWidget::keyPressEvent(event);
  if (SelectedIndex() != before) emit SelectionMoved();
}

void TListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidget::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton && itemAt(event->position().toPoint()) != nullptr) {
    emit DoubleClicked();
  }
}

}  // namespace zelvaro
