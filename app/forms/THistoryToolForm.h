#pragma once
// The History tool window: every picture of the history with the measures chosen in the
// preferences, the current picture's row marked green and the origin's with a glyph; a click
// makes a picture current. Its popup menu exports the table as a word-processor document,
// a spreadsheet, an HTML page or CSV, or copies it for pasting into a spreadsheet.
#include <QString>
#include <functional>
#include <vector>

#include "TBaseToolForm.h"
#include "kvMeasures/cChannelProperties.h"

class QAction;
class QLayout;
class QMenu;
class QTableWidget;
class QToolButton;

class THistoryToolForm : public TBaseToolForm {
  Q_OBJECT
public:
  enum eExportKind { ekWord, ekExcel, ekHTML, ekCSV };

  explicit THistoryToolForm(QWidget* parent = nullptr);
  ~THistoryToolForm() override;

  // Refills the grid from the history (nothing before the facade exists).
  void RefreshGrid();
  void ShowCurrentRow();
  // Column count, headers and widths; also run on every resize.
  void SetupColumns();
  bool IsUpdating() const { return Updating; }

  // Writes the export to file after waiting for pending measures; false (and a message)
  // when it could not be written.
  bool ExportToFile(eExportKind kind, const QString& file);
  // The table as tab-separated text on the clipboard.
  void CopyToClipboard();

  // Replaceable for tests: the save dialog (empty = cancelled) and opening a written file.
  std::function<QString(const QString& caption, const QString& defaultPath, const QString& filter)> AskFileName;
  std::function<void(const QString& file)> OpenDocument;
  // Ctrl+click on a row: compare the current picture with that history picture.
  std::function<void(int id)> CompareWith;

  QTableWidget* HistoryGrid = nullptr;
  QMenu* ExportPopupMenu = nullptr;
  // Opens ExportPopupMenu from the keyboard (Tab) and for assistive technologies.
  QToolButton* ExportButton = nullptr;
  QAction* ExporttoWord = nullptr;
  QAction* ExporttoExcel = nullptr;
  QAction* ExporttoHTML = nullptr;
  QAction* ExporttoCSV = nullptr;
  QAction* CopyHistory = nullptr;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void CreateGrid();
  void CreateExportMenu();
  QLayout* CreateExportButtons(QWidget* client);
  void HistoryGridSelectCell(int row);
  void ExportClick(eExportKind kind);
  // Waits, with a busy cursor, until no index of kinds is pending; computes stopped ones.
  void CompleteMeasures(const std::vector<eQualityIndex>& kinds);
  std::vector<eQualityIndex> VisibleIndices() const;
  void SetColumnHeaders();
  // The width a measure column needs for its header and every text it may show.
  int MeasureColumnWidth(int column) const;

  bool Updating = false;
  bool SettingColumns = false;
  int OperationWidth = 178;
  QString ExportFolder;
};

// The History window, once created.
extern THistoryToolForm* HistoryToolForm;
