// TListView: the report-style list of the windows (search results, move
// list). Rows are identified by their position in the list as shown; every
// row has a caption (first column) and sub-items (the following columns).
//
// The list is read-only, selects whole rows, allows one selected row and
// keeps showing that row while it does not have the focus. It never sorts on
// its own: Sort() orders the rows with the comparison given to SetCompare,
// and rows appended afterwards go to the end until the next Sort().
#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <functional>
#include <vector>

namespace zelvaro {

struct TListColumn {
  QString caption;
  int width;
  int max_width = 0;  // 0 = no limit on what the user may widen it to
  Qt::Alignment alignment = Qt::AlignLeft;
};

class TListView : public QTreeWidget {
  Q_OBJECT

 public:
  explicit TListView(QWidget* parent = nullptr);

  // Replaces the columns. Existing rows keep their texts.
  void SetColumns(const std::vector<TListColumn>& columns);

  // Removes every row.
  void Clear();

  // No redraw between the outermost BeginUpdate and its EndUpdate; pairs nest.
  void BeginUpdate();
  void EndUpdate();

  // Appends a row at the end and returns its index. Sub-items beyond the
  // last column are kept and can be read back, though not shown.
  int Append(const QString& caption, const QStringList& sub_items);
  // Appends rows at the end in one step (each: the caption, then the
  // sub-items), which a list of many thousand rows takes at once.
  void AppendRows(const QList<QStringList>& rows);

  int RowCount() const;
  // The width column `column` needs to show every row's text whole.
  int ContentWidth(int column) const { return sizeHintForColumn(column); }

  // Throw ERangeError for a row outside 0..RowCount()-1 or a sub-item index
  // below 0 or at or past the row's number of sub-items.
  QString Caption(int row) const;
  QString SubItem(int row, int index) const;  // index 0 = the second column
  // Writing past the row's last sub-item adds empty sub-items up to `index`.
  // Throws ERangeError for a bad row or a negative index.
  void SetSubItem(int row, int index, const QString& text);

  int SelectedIndex() const;  // -1 when no row is selected
  // Selects the row and makes it current; -1 clears the selection. Throws
  // ERangeError for any other index outside the list. Emits no Clicked().
  void Select(int row);
  // Scrolls the least needed to show the row; a row that is already partly
  // visible counts as visible and nothing moves. Throws ERangeError for a bad
  // row.
  void ScrollIntoView(int row);

  // Comparison of two rows given by their indices at the time of the sort:
  // negative, 0 or positive. Rows that compare equal keep their order.
  void SetCompare(std::function<int(int row_a, int row_b)> compare);
  // Sorts every row with the comparison (nothing happens without one). The
  // selected row stays selected wherever it moves.
  void Sort();
  // Shows the header's sort arrow on `column` (none for a negative one); the
  // rows are ordered by Sort, never by the header itself.
  void ShowSortIndicator(int column, bool ascending);

 signals:
  void Clicked();  // a mouse press on a row, after it was selected
  // The user moved the selection to another row (or cleared it) with the
  // keyboard or by dragging the mouse, after the key or move was handled.
  // A press emits Clicked instead; Select, Sort and Clear emit neither.
  void SelectionMoved();
  void DoubleClicked();
  void ColumnClicked(int column);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QTreeWidgetItem* MakeItem(const QStringList& texts) const;
  QTreeWidgetItem* Row(int row) const;  // throws ERangeError

  std::vector<TListColumn> columns_;
  std::function<int(int, int)> compare_;
  int update_depth_ = 0;
};

}  // namespace zelvaro
