#include "THistoryToolForm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMap>
#include <QMenu>
#include <QMouseEvent>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "THistoryGridDelegate.h"
#include "cHistoryHtmlWriter.h"
#include "cHistoryOdtWriter.h"
#include "cHistoryResults.h"
#include "cHistoryTable.h"
#include "cHistoryXlsxWriter.h"
#include "kvFacade/cKvadraSystem.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvMessages/cUserDialogs.h"
#include "kvNamedWidget.h"

THistoryToolForm* HistoryToolForm = nullptr;

namespace {
constexpr int MinMeasureWidth = 24;
constexpr int MinOperationWidth = 60;
// Room beside a cell's text: the grid line and a few pixels either side.
constexpr int CellPadding = 12;

QString FromUtf8(const std::string& text)
{
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}
}  // namespace

THistoryToolForm::THistoryToolForm(QWidget* parent) : TBaseToolForm("History", "HistoryToolForm", parent)
{
  if (!HistoryToolForm) HistoryToolForm = this;
  resize(370, 217);

  CreateGrid();
  auto* client = new QWidget(this);
  client->setObjectName("HistoryClient");
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  HistoryGrid->setParent(client);
  layout->addWidget(HistoryGrid, 1);

  CreateExportMenu();
  layout->addLayout(CreateExportButtons(client));
  setWidget(client);

  connect(HistoryGrid, &QTableWidget::cellClicked, this, [this](int row, int) { HistoryGridSelectCell(row); });
  connect(HistoryGrid, &QTableWidget::currentCellChanged, this,
          [this](int row, int, int, int) { HistoryGridSelectCell(row); });

  AskFileName = [this](const QString& caption, const QString& defaultPath, const QString& filter) {
    return QFileDialog::getSaveFileName(this, caption, defaultPath, filter);
  };
  OpenDocument = [](const QString& file) {
    // Nothing happens where the desktop has no application for the type.
    QDesktopServices::openUrl(QUrl::fromLocalFile(file));
  };

  SetColumnHeaders();
  SetupColumns();
}

void THistoryToolForm::CreateGrid()
{
  HistoryGrid = Named(new QTableWidget(2, 2, this), "HistoryGrid", "History grid");
  HistoryGrid->setItemDelegate(new THistoryGridDelegate(HistoryGrid));
  // Not a tab stop; a click still gives it the keyboard for moving between rows.
  HistoryGrid->setFocusPolicy(Qt::ClickFocus);
  HistoryGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab moves on to the Export button instead of walking the cells.
  HistoryGrid->setTabKeyNavigation(false);
  HistoryGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  HistoryGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  HistoryGrid->setShowGrid(true);
  HistoryGrid->setWordWrap(false);
  HistoryGrid->verticalHeader()->hide();
  HistoryGrid->verticalHeader()->setDefaultSectionSize(HistoryGrid->fontMetrics().height() + 6);
  HistoryGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  HistoryGrid->horizontalHeader()->setStretchLastSection(false);
  HistoryGrid->horizontalHeader()->setHighlightSections(false);
  HistoryGrid->horizontalHeader()->setMinimumSectionSize(8);
  HistoryGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // A long history must stay reachable, so the vertical bar appears when it is needed.
  HistoryGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  QPalette palette = HistoryGrid->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
  HistoryGrid->setPalette(palette);
  HistoryGrid->setColumnWidth(0, 16);
  HistoryGrid->setColumnWidth(1, 178);
  // The viewport's own resize: by then its width is the one to share out.
  HistoryGrid->viewport()->installEventFilter(this);
  connect(HistoryGrid->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
    if (column == 1 && !SettingColumns && GlobalParams->GetHistoryColsCount() > 0) OperationWidth = size;
  });
}

void THistoryToolForm::CreateExportMenu()
{
  ExportPopupMenu = Named(new QMenu(this), "ExportPopupMenu");
  auto addItem = [this](const QString& objectName, const QString& caption, const char* icon) {
    QAction* item = ExportPopupMenu->addAction(QIcon::fromTheme(icon), caption);
    item->setObjectName(objectName);
    item->setEnabled(false);
    return item;
  };
  ExporttoWord = addItem("ExporttoWord", "Export to MS Word", "x-office-document");
  ExporttoExcel = addItem("ExporttoExcel", "Export to MS Excel", "x-office-spreadsheet");
  ExporttoHTML = addItem("ExporttoHTML", "Export to HTML", "text-html");
  ExporttoCSV = addItem("ExporttoCSV", "Export to CSV", "text-csv");
  ExportPopupMenu->addSeparator();
  CopyHistory = addItem("CopyHistory", "Copy", "edit-copy");
  connect(ExporttoWord, &QAction::triggered, this, [this] { ExportClick(ekWord); });
  connect(ExporttoExcel, &QAction::triggered, this, [this] { ExportClick(ekExcel); });
  connect(ExporttoHTML, &QAction::triggered, this, [this] { ExportClick(ekHTML); });
  connect(ExporttoCSV, &QAction::triggered, this, [this] { ExportClick(ekCSV); });
  connect(CopyHistory, &QAction::triggered, this, &THistoryToolForm::CopyToClipboard);
  HistoryGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(HistoryGrid, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { ExportPopupMenu->popup(HistoryGrid->viewport()->mapToGlobal(at)); });
  HistoryGrid->installEventFilter(this);
}

// The same entries for the keyboard and assistive technologies: a Tab stop under the grid.
QLayout* THistoryToolForm::CreateExportButtons(QWidget* client)
{
  auto* buttons = new QHBoxLayout();
  buttons->setContentsMargins(2, 0, 2, 2);
  ExportButton = Named(new QToolButton(client), "ExportButton", "Export");
  ExportButton->setText("Export");
  ExportButton->setIcon(QIcon::fromTheme("document-save-as"));
  ExportButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  // As a split button the menu is the button's accessible child, so screen readers list its
  // entries (open popups are not in the accessibility tree); either part opens it.
  ExportButton->setPopupMode(QToolButton::MenuButtonPopup);
  connect(ExportButton, &QToolButton::clicked, ExportButton, &QToolButton::showMenu);
  ExportButton->setFocusPolicy(Qt::StrongFocus);
  ExportButton->setMenu(ExportPopupMenu);
  buttons->addWidget(ExportButton);
  buttons->addStretch(1);
  return buttons;
}

THistoryToolForm::~THistoryToolForm()
{
  if (HistoryToolForm == this) HistoryToolForm = nullptr;
}

void THistoryToolForm::SetColumnHeaders()
{
  const std::vector<std::string> measures = cHistoryTable::VisibleMeasures(*GlobalParams);
  HistoryGrid->setColumnCount(int(measures.size()) + 2);
  QStringList headers{"", "Operation"};
  for (const auto& name : measures) headers << QString::fromStdString(name);
  HistoryGrid->setHorizontalHeaderLabels(headers);
}

void THistoryToolForm::SetupColumns()
{
  const int n = GlobalParams->GetHistoryColsCount();
  if (HistoryGrid->columnCount() != n + 2) SetColumnHeaders();
  QHeaderView* header = HistoryGrid->horizontalHeader();
  // The marker column is square.
  const int square = std::max(header->height(), header->sizeHint().height());
  HistoryGrid->setColumnWidth(0, square);
  const int width = HistoryGrid->viewport()->width();
  if (n == 0) {
    SettingColumns = true;
    HistoryGrid->setColumnWidth(1, std::max(width - square, MinMeasureWidth));
    SettingColumns = false;
    return;
  }
  // Every measure column is at least as wide as its widest text, so no number loses a digit.
  // The operation column keeps the width the user gave it, narrowed only while the grid is too
  // narrow; below its least width the grid scrolls instead.
  std::vector<int> needed(size_t(n), 0);
  int neededTotal = 0;
  for (int c = 2; c < n + 2; ++c) {
    needed[size_t(c - 2)] = MeasureColumnWidth(c);
    neededTotal += needed[size_t(c - 2)];
  }
  const int operation = std::max(std::min(OperationWidth, width - square - neededTotal), MinOperationWidth);
  const int spare = std::max(0, (width - square - operation - neededTotal) / n);
  SettingColumns = true;
  HistoryGrid->setColumnWidth(1, operation);
  for (int c = 2; c < n + 2; ++c) HistoryGrid->setColumnWidth(c, needed[size_t(c - 2)] + spare);
  SettingColumns = false;
}

int THistoryToolForm::MeasureColumnWidth(int column) const
{
  // The widest texts a measure shows, so the width holds while rows arrive and indices finish.
  static const QMap<QString, QStringList> Widest = {
      {"PSNR", {"INF dB", "99.99 dB", "n/a"}}, {"MSE", {"9999.99", "n/a"}},        {"IQ", {"-0.99", "wait", "n/a"}},
      {"IQHVS", {"-0.99", "wait", "n/a"}},     {"SSIM", {"-0.99", "wait", "n/a"}}, {"Time", {"1234 ms", "99.99 s"}}};
  const QFontMetrics metrics(HistoryGrid->font());
  const QTableWidgetItem* header = HistoryGrid->horizontalHeaderItem(column);
  const QString name = header ? header->text() : QString();
  const QFontMetrics headerMetrics(HistoryGrid->horizontalHeader()->font());
  int widest = headerMetrics.horizontalAdvance(name);
  for (const QString& text : Widest.value(name)) widest = std::max(widest, metrics.horizontalAdvance(text));
  for (int row = 0; row < HistoryGrid->rowCount(); ++row)
    if (const QTableWidgetItem* item = HistoryGrid->item(row, column))
      widest = std::max(widest, metrics.horizontalAdvance(item->text()));
  return widest + CellPadding;
}

void THistoryToolForm::RefreshGrid()
{
  if (!KvadraSystem) return;
  Updating = true;
  SetColumnHeaders();
  const cHistoryTable table = cHistoryTable::FromSystem(*KvadraSystem, *GlobalParams);
  const int columns = HistoryGrid->columnCount();
  const int count = int(table.Rows.size());
  HistoryGrid->clearContents();
  HistoryGrid->setRowCount(std::max(count, 1));
  for (int r = 0; r < count; ++r) {
    const auto& row = table.Rows[size_t(r)];
    for (int c = 0; c < columns; ++c) {
      const QString text = c == 0 ? QString() : FromUtf8(row[size_t(c - 1)].Text);
      auto* item = new QTableWidgetItem(text);
      // A title may be cut short in its cell; the tip shows it whole.
      if (c == 1) item->setToolTip(text);
      HistoryGrid->setItem(r, c, item);
    }
  }
  // An empty history keeps one blank data row.
  if (count == 0)
    for (int c = 0; c < columns; ++c) HistoryGrid->setItem(0, c, new QTableWidgetItem(QString()));
  HistoryGrid->selectRow(HistoryGrid->rowCount() - 1);
  ShowCurrentRow();
  for (QAction* item : {ExporttoWord, ExporttoExcel, ExporttoHTML, ExporttoCSV, CopyHistory})
    item->setEnabled(count > 0);
  Updating = false;
}

void THistoryToolForm::ShowCurrentRow()
{
  // The green row may lie outside the view, e.g. when an experiment gives back its picture.
  const int current = KvadraSystem ? KvadraSystem->GetCurrentImageID() : -1;
  if (QTableWidgetItem* item = current >= 0 ? HistoryGrid->item(current, 1) : nullptr) HistoryGrid->scrollToItem(item);
  HistoryGrid->viewport()->update();
}

void THistoryToolForm::HistoryGridSelectCell(int row)
{
  if (Updating || !KvadraSystem || KvadraSystem->GetCurrentImageID() == -1) return;
  if (row >= 0 && row < KvadraSystem->SavedImageCount() && row != KvadraSystem->GetCurrentImageID())
    KvadraSystem->SetCurrentImageID(row);
  HistoryGrid->viewport()->update();
}

bool THistoryToolForm::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == HistoryGrid && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
      // From the keyboard the menu opens at the current row.
      const QRect cell = HistoryGrid->visualRect(HistoryGrid->currentIndex());
      const QPoint at = cell.isValid() ? cell.bottomLeft() : QPoint(0, 0);
      ExportPopupMenu->popup(HistoryGrid->viewport()->mapToGlobal(at));
      return true;
    }
  }
  if (watched == HistoryGrid->viewport() && event->type() == QEvent::Resize) SetupColumns();
  // Ctrl+click chooses the picture to compare with and leaves the current picture as it is.
  if (watched == HistoryGrid->viewport() && event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const int row = HistoryGrid->rowAt(int(mouse->position().y()));
    if ((mouse->modifiers() & Qt::ControlModifier) && CompareWith && row >= 0 && KvadraSystem &&
        row < KvadraSystem->SavedImageCount()) {
      CompareWith(row);
      return true;
    }
  }
  return TBaseToolForm::eventFilter(watched, event);
}

std::vector<eQualityIndex> THistoryToolForm::VisibleIndices() const
{
  std::vector<eQualityIndex> kinds;
  if (GlobalParams->ShowIQ) kinds.push_back(qiIQ);
  if (GlobalParams->ShowIQHVS) kinds.push_back(qiIQHVS);
  if (GlobalParams->ShowSSIM) kinds.push_back(qiSSIM);
  return kinds;
}

void THistoryToolForm::CompleteMeasures(const std::vector<eQualityIndex>& kinds)
{
  if (!KvadraSystem) return;
  cHistoryResults::RequestIndices(*KvadraSystem, kinds);
  if (cHistoryResults::AnyIndexRunning(*KvadraSystem)) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The completions arrive through the event loop; the user's input waits meanwhile.
    QEventLoop wait;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &wait, [&wait] {
      if (!KvadraSystem || !cHistoryResults::AnyIndexRunning(*KvadraSystem)) wait.quit();
    });
    poll.start(15);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    QApplication::restoreOverrideCursor();
  }
  if (KvadraSystem) cHistoryResults::CompleteIndices(*KvadraSystem, kinds);
}

bool THistoryToolForm::ExportToFile(eExportKind kind, const QString& file)
{
  if (!KvadraSystem) return false;
  CompleteMeasures(kind == ekCSV ? std::vector<eQualityIndex>{qiIQ, qiIQHVS, qiSSIM} : VisibleIndices());
  if (!KvadraSystem) return false;
  const std::string path = QFile::encodeName(file).toStdString();
  try {
    if (kind == ekCSV) {
      cResultTable::WriteFileAtomically(path, cHistoryResults::Build(*KvadraSystem).CsvText());
    } else {
      const cHistoryTable table = cHistoryTable::FromSystem(*KvadraSystem, *GlobalParams);
      if (kind == ekWord)
        cHistoryOdtWriter::Write(table, path);
      else if (kind == ekExcel)
        cHistoryXlsxWriter::Write(table, path);
      else
        cHistoryHtmlWriter::Write(table, path);
    }
  } catch (const std::exception& e) {
    cUserDialogs::ShowMessage(std::string("The history was not exported: ") + e.what());
    return false;
  }
  return true;
}

void THistoryToolForm::ExportClick(eExportKind kind)
{
  if (!KvadraSystem || KvadraSystem->SavedImageCount() == 0) return;
  static const char* const Captions[] = {"Export to MS Word", "Export to MS Excel", "Export to HTML", "Export to CSV"};
  static const char* const Suffixes[] = {"odt", "xlsx", "html", "csv"};
  static const char* const Filters[] = {"OpenDocument text (*.odt)", "Excel workbook (*.xlsx)",
                                        "HTML page (*.html *.htm)", "CSV (*.csv)"};
  const std::string title = cHistoryTable::ExportTitle(KvadraSystem->GetImage(0)->GetTitle());
  QString name = QString::fromLocal8Bit(title.c_str());
  name.replace('/', '_');
  if (name.isEmpty()) name = "history";
  const QString folder = ExportFolder.isEmpty() ? QDir::homePath() : ExportFolder;
  QString file = AskFileName(Captions[kind], QDir(folder).filePath(name + "." + Suffixes[kind]), Filters[kind]);
  if (file.isEmpty()) return;
  if (QFileInfo(file).suffix().isEmpty()) file += QString(".") + Suffixes[kind];
  ExportFolder = QFileInfo(file).absolutePath();
  if (ExportToFile(kind, file) && OpenDocument) OpenDocument(file);
}

void THistoryToolForm::CopyToClipboard()
{
  if (!KvadraSystem || KvadraSystem->SavedImageCount() == 0) return;
  CompleteMeasures(VisibleIndices());
  if (!KvadraSystem) return;
  const cHistoryTable table = cHistoryTable::FromSystem(*KvadraSystem, *GlobalParams);
  QApplication::clipboard()->setText(FromUtf8(table.TabSeparated()));
}
