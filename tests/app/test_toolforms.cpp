// The History and Image info windows as the program starts them, and every history export
// read back: the spreadsheet and the document are zip files whose XML is parsed here.
#include <QAccessible>
#include <QAreaSeries>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>
#include <QXmlStreamReader>
#include <QtTest>
#include <cmath>

#include "AppTestSupport.h"
#include "THistoryGridDelegate.h"
#include "THistoryToolForm.h"
#include "TImageInfoToolForm.h"
#include "TKvadraApplication.h"
#include "TKvadraMainForm.h"
#include "cHistoryTable.h"
#include "kvFacade/cKvadraSystem.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvPixels/cBMPSurface.h"
#include "kvImages/cImage.h"

namespace {
QByteArray Unzip(const QString& archive, const QString& member)
{
  QProcess unzip;
  unzip.start("unzip", {"-p", archive, member});
  if (!unzip.waitForFinished(20000) || unzip.exitCode() != 0) return {};
  return unzip.readAllStandardOutput();
}

QList<QStringList> ReadCsv(const QString& file)
{
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QList<QStringList> rows;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (!line.trimmed().isEmpty()) rows << QString::fromUtf8(line.trimmed()).split(',');
  return rows;
}

// Cells of the first worksheet by address ("B3"), strings resolved; numbers keep their text.
struct sSheetCell {
  QString Value;
  bool IsNumber = false;
  int Style = 0;
};
QMap<QString, sSheetCell> ReadSheet(const QString& file)
{
  QStringList strings;
  QXmlStreamReader shared(Unzip(file, "xl/sharedStrings.xml"));
  while (!shared.atEnd())
    if (shared.readNext() == QXmlStreamReader::StartElement && shared.name() == u"t")
      strings << shared.readElementText();
  QMap<QString, sSheetCell> cells;
  QXmlStreamReader sheet(Unzip(file, "xl/worksheets/sheet1.xml"));
  QString address, type;
  int style = 0;
  while (!sheet.atEnd()) {
    if (sheet.readNext() != QXmlStreamReader::StartElement) continue;
    if (sheet.name() == u"c") {
      address = sheet.attributes().value("r").toString();
      type = sheet.attributes().value("t").toString();
      style = sheet.attributes().value("s").toInt();
    } else if (sheet.name() == u"v") {
      const QString v = sheet.readElementText();
      cells[address] = type == "s" ? sSheetCell{strings.value(v.toInt()), false, style} : sSheetCell{v, true, style};
    }
  }
  return cells;
}

// Paragraph texts of the document body and the texts of its table cells, row by row.
void ReadOdt(const QString& file, QStringList& paragraphs, QList<QStringList>& table, int& columns)
{
  QXmlStreamReader xml(Unzip(file, "content.xml"));
  int depthInCell = 0;
  columns = 0;
  while (!xml.atEnd()) {
    const auto token = xml.readNext();
    if (token == QXmlStreamReader::StartElement) {
      if (xml.name() == u"table-column")
        columns += qMax(1, xml.attributes().value("table:number-columns-repeated").toInt());
      else if (xml.name() == u"table-row")
        table << QStringList();
      else if (xml.name() == u"table-cell") {
        ++depthInCell;
        table.last() << QString();
      } else if (xml.name() == u"p") {
        const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        if (depthInCell)
          table.last().last() += text;
        else
          paragraphs << text;
      }
    } else if (token == QXmlStreamReader::EndElement && xml.name() == u"table-cell") {
      --depthInCell;
    }
  }
}

void SaveFlat(const QString& file, int width, int height, const std::vector<uint8_t>& levels)
{
  cBMPSurface surface;
  surface.SetSize(width, height, 1);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) surface.Row(y)[x] = levels[size_t(y * width + x) % levels.size()];
  QVERIFY(surface.SaveImage(QFile::encodeName(file).toStdString()));
}
}  // namespace

class TestToolForms : public QObject {
  Q_OBJECT

  std::unique_ptr<TKvadraApplication> App;
  TKvadraMainForm* Form = nullptr;
  THistoryToolForm* History = nullptr;
  TImageInfoToolForm* Info = nullptr;
  QTemporaryDir Folder;
  std::vector<std::string> Messages;
  QStringList Opened;
  cuGlobalParameters SavedParams;

  void Start()
  {
    App = kvapptest::StartHidden();
    Form = App->MainForm();
    History = App->HistoryWindow();
    Info = App->ImageInfoWindow();
    QVERIFY(History && Info);
    QCOMPARE(HistoryToolForm, History);
    QCOMPARE(ImageInfoToolForm, Info);
    Form->resize(1200, 800);
    Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form));
    History->OpenDocument = [this](const QString& file) { Opened << file; };
  }
  void Load(const QString& file)
  {
    QVERIFY(Form->OpenFile(file));
    QTRY_COMPARE(App->System()->SavedImageCount(), 1);
  }
  void Run(const char* name)
  {
    cKvadraSystem* system = App->System();
    const int before = system->SavedImageCount();
    const unsigned uid = system->FindOperationUID(name);
    QVERIFY(uid != 0);
    system->GetOperationParams(uid)->ResetToDefault();
    system->SelectOperation(uid);
    system->SelectedFilterExecute(true);
    // Returns as soon as the result is stored, before its background indices can arrive.
    QElapsedTimer waited;
    waited.start();
    while (!(!system->IsBusy() && system->SavedImageCount() == before + 1) && waited.elapsed() < 30000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      QThread::msleep(1);
    }
    QVERIFY(!system->IsBusy() && system->SavedImageCount() == before + 1);
  }
  QString Cell(int row, int column) const
  {
    QTableWidgetItem* item = History->HistoryGrid->item(row, column);
    return item ? item->text() : QString();
  }
  QStringList Headers() const
  {
    QStringList headers;
    for (int c = 0; c < History->HistoryGrid->columnCount(); ++c)
      headers << History->HistoryGrid->horizontalHeaderItem(c)->text();
    return headers;
  }
  // The command-line program's history file for the same operations on camera.bmp.
  QList<QStringList> CliHistory(const QStringList& operations)
  {
    const QString file = Folder.filePath("cli.csv");
    QStringList arguments{"run", KV_SAMPLES_DIR "camera.bmp"};
    for (const QString& op : operations) arguments << "--op" << op;
    arguments << "--history" << file;
    QProcess cli;
    cli.start(KV_BIN_DIR "/kvadra", arguments);
    if (!cli.waitForFinished(120000) || cli.exitCode() != 0) {
      qWarning() << cli.readAllStandardError();
      return {};
    }
    return ReadCsv(file);
  }

  // Measure column of picture id in the command-line program's history file.
  static double CliNumber(const QList<QStringList>& cli, int id, const char* column)
  {
    return cli[id + 1][int(cli[0].indexOf(column))].toDouble();
  }
  // The picture's processing time in milliseconds, the microseconds as fraction.
  QString Milliseconds(int id) const
  {
    return QString::number(double(App->System()->GetImage(id)->GetTimeMicroseconds()) / 1000.0, 'f', 3);
  }
  // The exports of the history of camera.bmp, Invert and Median Filter, that the grid shows under
  // header; cli is the command-line program's file of the same history.
  void CheckSpreadsheetExport(const QStringList& header, const QList<QStringList>& cli, const QStringList& asked)
  {
    History->ExporttoExcel->trigger();
    QCOMPARE(asked.last(), QString("Export to MS Excel|camera.bmp.xlsx"));
    const QMap<QString, sSheetCell> sheet = ReadSheet(Folder.filePath("out.xlsx"));
    QCOMPARE(sheet.value("C1").Value, QString("camera.bmp"));
    for (int c = 0; c < header.size(); ++c) QCOMPARE(sheet.value(QChar('B' + c) + QString("3")).Value, header[c]);
    for (int id = 1; id <= 2; ++id) {
      const QString row = QString::number(id + 3);
      QCOMPARE(sheet.value("B" + row).Value, Cell(id, 1));
      QVERIFY(!sheet.value("B" + row).IsNumber);
      const char* names[] = {"PSNR", "MSE", "IQ", "IQHVS", "SSIM"};
      for (int k = 0; k < 5; ++k) {
        const sSheetCell cell = sheet.value(QChar('C' + k) + row);
        QVERIFY2(cell.IsNumber, names[k]);
        const double expected = CliNumber(cli, id, names[k]);
        QVERIFY2(std::fabs(cell.Value.toDouble() - expected) <= 1e-14 * std::max(1.0, std::fabs(expected)), names[k]);
      }
      QCOMPARE(sheet.value("H" + row).Value.toDouble(),
               double(App->System()->GetImage(id)->GetTimeMicroseconds()) / 1000.0);
    }
    QVERIFY(!sheet.contains("B6"));  // the origin is the title, not a data row
    QVERIFY(sheet.value("B3").Style != sheet.value("B4").Style);
  }
  void CheckDocumentExport(const QStringList& header)
  {
    History->ExporttoWord->trigger();
    QStringList paragraphs;
    QList<QStringList> table;
    int columns = 0;
    ReadOdt(Folder.filePath("out.odt"), paragraphs, table, columns);
    QVERIFY(paragraphs.contains("camera.bmp"));
    QCOMPARE(columns, header.size());
    QCOMPARE(table.size(), 3);
    QCOMPARE(table[0], header);
    // The grid takes measures that arrived during the export once HISTORY_CHANGED is delivered.
    for (int id = 1; id <= 2; ++id)
      for (int c = 0; c < header.size(); ++c) QTRY_COMPARE(Cell(id, c + 1), table[id][c]);
    const QByteArray content = Unzip(Folder.filePath("out.odt"), "content.xml");
    QVERIFY(content.contains("fo:text-align=\"end\"") || content.contains("fo:text-align=\"right\""));
    QVERIFY(content.contains("fo:font-weight=\"bold\""));
    QVERIFY(content.contains("fo:padding=\"5pt\""));
    // The operation column a third of the table, the measures sharing the rest.
    QRegularExpression widthPattern("column-width=\"([0-9.]+)pt\"");
    QList<double> columnWidths;
    for (auto match = widthPattern.globalMatch(QString::fromUtf8(content)); match.hasNext();)
      columnWidths << match.next().captured(1).toDouble();
    QCOMPARE(columnWidths.size(), header.size());
    double tableWidth = 0;
    for (double w : columnWidths) tableWidth += w;
    QVERIFY(std::fabs(columnWidths[0] - tableWidth / 3) < 0.01);
    for (int c = 2; c < columnWidths.size(); ++c) QCOMPARE(columnWidths[c], columnWidths[1]);
  }
  void CheckHtmlExport(const QStringList& header)
  {
    History->ExporttoHTML->trigger();
    QFile page(Folder.filePath("out.html"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    QVERIFY(html.contains("<title>camera.bmp</title>"));
    QRegularExpression cellPattern("<t[hd]>([^<]*)</t[hd]>");
    QStringList htmlCells;
    for (auto match = cellPattern.globalMatch(html); match.hasNext();) htmlCells << match.next().captured(1);
    QStringList expectedCells = header;
    for (int id = 1; id <= 2; ++id)
      for (int c = 1; c <= header.size(); ++c) expectedCells << Cell(id, c);
    QCOMPARE(htmlCells, expectedCells);
  }
  // Copy: every row the grid shows, numbers at full precision.
  void CheckCopy(const QStringList& header, const QList<QStringList>& cli)
  {
    History->CopyHistory->trigger();
    const QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0].split('\t'), header);
    QCOMPARE(lines[1].split('\t').mid(0, 2), QStringList({"Load 'camera.bmp'", "INF"}));
    const QStringList median = lines[3].split('\t');
    QCOMPARE(median[0], Cell(2, 1));
    QCOMPARE(median[1].toDouble(), CliNumber(cli, 2, "PSNR"));
    QCOMPARE(median[5].toDouble(), CliNumber(cli, 2, "SSIM"));
    QCOMPARE(median[6], Milliseconds(2));
  }

private slots:
  void initTestCase()
  {
    SavedParams = *GlobalParams;
    QVERIFY(Folder.isValid());
  }
  void init()
  {
    Messages.clear();
    Opened.clear();
    kvapptest::AnswerDialogs(&Messages);
    Start();
  }
  void cleanup()
  {
    App.reset();
    *GlobalParams = SavedParams;
    kvapptest::RestoreDialogs();
  }

  void StartUpDocksBothWindowsOnTheRight()
  {
    QCOMPARE(History->windowTitle(), QString("History"));
    QCOMPARE(Info->windowTitle(), QString("Image info"));
    QCOMPARE(Form->dockWidgetArea(History), Qt::RightDockWidgetArea);
    QCOMPARE(Form->dockWidgetArea(Info), Qt::RightDockWidgetArea);
    QVERIFY(History->isVisible() && Info->isVisible());
    QVERIFY(Info->geometry().top() > History->geometry().top());
    QVERIFY(History->features() & QDockWidget::DockWidgetFloatable);
  }

  void EmptyHistoryShowsOneBlankRowAndNothingToExport()
  {
    QCOMPARE(History->HistoryGrid->rowCount(), 1);
    for (int c = 0; c < History->HistoryGrid->columnCount(); ++c) QCOMPARE(Cell(0, c), QString());
    QVERIFY(!History->ExporttoWord->isEnabled() && !History->ExporttoCSV->isEnabled() &&
            !History->CopyHistory->isEnabled());
    for (QLabel* label : {Info->WidthLabel, Info->MeanLabel, Info->SSIMLabel}) QCOMPARE(label->text(), QString());
  }

  void ColumnsFollowTheSixFlags_data()
  {
    QTest::addColumn<int>("flags");  // PSNR, MSE, IQ, IQHVS, SSIM, Time from bit 0
    QTest::addColumn<QStringList>("headers");
    QTest::newRow("defaults") << 0b111101 << QStringList({"", "Operation", "PSNR", "IQ", "IQHVS", "SSIM", "Time"});
    QTest::newRow("all") << 0b111111 << QStringList({"", "Operation", "PSNR", "MSE", "IQ", "IQHVS", "SSIM", "Time"});
    QTest::newRow("mse and time") << 0b100010 << QStringList({"", "Operation", "MSE", "Time"});
    QTest::newRow("none") << 0 << QStringList({"", "Operation"});
  }
  void ColumnsFollowTheSixFlags()
  {
    QFETCH(int, flags);
    QFETCH(QStringList, headers);
    Load(KV_SAMPLES_DIR "camera.bmp");
    bool* show[] = {&GlobalParams->ShowPSNR,  &GlobalParams->ShowMSE,  &GlobalParams->ShowIQ,
                    &GlobalParams->ShowIQHVS, &GlobalParams->ShowSSIM, &GlobalParams->ShowTime};
    for (int i = 0; i < 6; ++i) *show[i] = (flags >> i) & 1;
    GlobalParams->FullUpdate();
    QCOMPARE(Headers(), headers);
    QTableWidget* grid = History->HistoryGrid;
    const int width = grid->viewport()->width();
    QCOMPARE(grid->columnWidth(0), grid->horizontalHeader()->height());
    if (headers.size() == 2) {
      QCOMPARE(grid->columnWidth(0) + grid->columnWidth(1), width);
    } else {
      int total = grid->columnWidth(0) + grid->columnWidth(1);
      for (int c = 2; c < headers.size(); ++c) total += grid->columnWidth(c);
      QVERIFY(total <= width && total > width - (headers.size() - 2));
    }
    // The texts are the image's own, column by column.
    cImage* origin = App->System()->GetImage(0);
    QCOMPARE(Cell(0, 1), QString("Load 'camera.bmp'"));
    for (int c = 2; c < headers.size(); ++c)
      QCOMPARE(Cell(0, c), QString::fromStdString(origin->GetMeasureStr(headers[c].toStdString())));
  }

  void ClickMakesAPictureCurrentButARefillDoesNot()
  {
    Load(KV_SAMPLES_DIR "camera.bmp");
    Run("Invert");
    cKvadraSystem* system = App->System();
    QTableWidget* grid = History->HistoryGrid;
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(Cell(1, 1), QString("Invert ()"));
    QCOMPARE(system->GetCurrentImageID(), 1);
    QCOMPARE(grid->currentRow(), 1);

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(0, 1)).center());
    QCOMPARE(system->GetCurrentImageID(), 0);
    // A refill selects the last row; that selection is not a click.
    History->RefreshGrid();
    QCOMPARE(grid->currentRow(), 1);
    QCOMPARE(system->GetCurrentImageID(), 0);

    // The green row follows the current picture, the glyph the origin.
    const QImage shown = grid->viewport()->grab().toImage();
    auto colorAt = [&](int row, int column) {
      return QColor(shown.pixel(grid->visualItemRect(grid->item(row, column)).center() + QPoint(0, 0)));
    };
    const QRect measureCell = grid->visualItemRect(grid->item(0, 2));
    QCOMPARE(QColor(shown.pixel(measureCell.topLeft() + QPoint(2, 2))), THistoryGridDelegate::CurrentRowColor());
    QVERIFY(QColor(shown.pixel(grid->visualItemRect(grid->item(1, 2)).topLeft() + QPoint(2, 2))) !=
            THistoryGridDelegate::CurrentRowColor());
    QVERIFY(colorAt(0, 0) != colorAt(1, 0));  // the origin's marker

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(1, 1)).center());
    QCOMPARE(system->GetCurrentImageID(), 1);

    // A long history scrolls to the end, but a current picture further up is brought into view.
    for (int i = 0; i < 30; ++i) Run("Invert");
    system->SetCurrentImageID(0);
    QTRY_VERIFY(grid->viewport()->rect().contains(grid->visualItemRect(grid->item(0, 1))));
  }

  // Every export and Copy of one history, against the command-line program's file.
  void ExportsHoldWhatTheHistoryShowsWithTheCommandLineNumbers()
  {
    const QList<QStringList> cli = CliHistory({"Invert", "Median Filter"});
    QCOMPARE(cli.size(), 4);
    QCOMPARE(cli[0], QStringList({"id", "title", "MSE", "PSNR", "IQ", "IQHVS", "SSIM", "time_ms"}));
    GlobalParams->ShowMSE = true;  // every measure shown
    Load(KV_SAMPLES_DIR "camera.bmp");
    Run("Invert");
    Run("Median Filter");
    // The grid has just asked for the new pictures' indices: the export must wait for them. On a
    // loaded machine the main thread may come back after they are done; the rest still holds.
    if (!cHistoryTable::FromSystem(*App->System(), *GlobalParams).HasPending())
      qWarning("the measures were done before the export: its waiting is not exercised this run");

    QStringList asked;
    History->AskFileName = [&](const QString& caption, const QString& path, const QString&) {
      asked << caption + "|" + QFileInfo(path).fileName();
      return Folder.filePath("out");  // no suffix: the export adds its own
    };
    // CSV: the command-line file, apart from the processing times.
    History->ExporttoCSV->trigger();
    QCOMPARE(asked.last(), QString("Export to CSV|camera.bmp.csv"));
    QCOMPARE(Opened.last(), Folder.filePath("out.csv"));
    const QList<QStringList> csv = ReadCsv(Folder.filePath("out.csv"));
    QCOMPARE(csv.size(), cli.size());
    for (int r = 0; r < csv.size(); ++r) QCOMPARE(csv[r].mid(0, 7), cli[r].mid(0, 7));
    for (int id = 0; id <= 2; ++id) QCOMPARE(csv[id + 1][7], Milliseconds(id));

    // The grid shows no pending measure any more, and the document rows are its rows.
    QVERIFY(!cHistoryTable::FromSystem(*App->System(), *GlobalParams).HasPending());
    const QStringList header = Headers().mid(1);
    QCOMPARE(header, QStringList({"Operation", "PSNR", "MSE", "IQ", "IQHVS", "SSIM", "Time"}));
    CheckSpreadsheetExport(header, cli, asked);
    if (QTest::currentTestFailed()) return;
    CheckDocumentExport(header);
    if (QTest::currentTestFailed()) return;
    CheckHtmlExport(header);
    if (QTest::currentTestFailed()) return;
    CheckCopy(header, cli);
    if (QTest::currentTestFailed()) return;

    // Nothing but the written files in the folder: no temporary left behind.
    QStringList files = QDir(Folder.path()).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    QCOMPARE(files, QStringList({"cli.csv", "out.csv", "out.html", "out.odt", "out.xlsx"}));
    QVERIFY(Messages.empty());
  }

  void TheExportButtonOffersTheMenusEntriesToTheKeyboard()
  {
    Load(KV_SAMPLES_DIR "camera.bmp");
    Run("Invert");
    QToolButton* button = History->ExportButton;
    QVERIFY(button->menu());
    QStringList texts;
    for (QAction* item : button->menu()->actions())
      if (!item->isSeparator()) texts << item->text() + (item->isEnabled() ? "" : " (disabled)");
    QCOMPARE(texts,
             QStringList({"Export to MS Word", "Export to MS Excel", "Export to HTML", "Export to CSV", "Copy"}));
    // Assistive technologies find the entries under the button, where they can press them.
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(button)->child(0);
    QVERIFY(menu);
    QStringList reachable;
    for (int i = 0; i < menu->childCount(); ++i)
      if (!menu->child(i)->text(QAccessible::Name).isEmpty()) reachable << menu->child(i)->text(QAccessible::Name);
    QCOMPARE(reachable,
             QStringList({"Export to MS Word", "Export to MS Excel", "Export to HTML", "Export to CSV", "Copy"}));

    // Tab leaves the grid for the button; Shift+F10 and the Menu key on the grid open the menu.
    QApplication::setActiveWindow(Form);
    History->HistoryGrid->setFocus();
    QTest::keyClick(History->HistoryGrid, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(button));
    for (const QKeyCombination key : {QKeyCombination(Qt::ShiftModifier, Qt::Key_F10), QKeyCombination(Qt::Key_Menu)}) {
      QTest::keyClick(History->HistoryGrid, key.key(), key.keyboardModifiers());
      QTRY_VERIFY(History->ExportPopupMenu->isVisible());
      History->ExportPopupMenu->hide();
    }

    // The button's entries write what the grid's own menu writes.
    for (const char* suffix : {"html", "csv"}) {
      QAction* buttonItem = nullptr;
      for (QAction* item : button->menu()->actions())
        if (item->text().endsWith(QString(suffix).toUpper())) buttonItem = item;
      QVERIFY(buttonItem);
      History->AskFileName = [&](const QString&, const QString&, const QString&) {
        return Folder.filePath(QString("button.") + suffix);
      };
      buttonItem->trigger();
      QVERIFY(History->ExportToFile(QString(suffix) == "csv" ? THistoryToolForm::ekCSV : THistoryToolForm::ekHTML,
                                    Folder.filePath(QString("direct.") + suffix)));
      QFile a(Folder.filePath(QString("button.") + suffix)), b(Folder.filePath(QString("direct.") + suffix));
      QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
      QCOMPARE(a.readAll(), b.readAll());
    }
  }

  void AnExportThatCannotBeWrittenSaysSoAndOpensNothing()
  {
    Load(KV_SAMPLES_DIR "camera.bmp");
    const QString missing = Folder.filePath("no-such-folder/out");
    History->AskFileName = [&](const QString&, const QString&, const QString&) { return missing; };
    for (QAction* item : {History->ExporttoWord, History->ExporttoExcel, History->ExporttoHTML, History->ExporttoCSV})
      item->trigger();
    QCOMPARE(int(Messages.size()), 4);
    QVERIFY(Opened.isEmpty());
    // A cancelled dialog writes nothing.
    History->AskFileName = [](const QString&, const QString&, const QString&) { return QString(); };
    History->ExporttoCSV->trigger();
    QCOMPARE(int(Messages.size()), 4);
    QVERIFY(Opened.isEmpty());
  }

  void InfiniteAndUnknownMeasuresGoInAsText()
  {
    Load(KV_SAMPLES_DIR "camera.bmp");
    Run("Invert");
    Run("Invert");  // the origin again: no error, PSNR infinite
    History->AskFileName = [&](const QString&, const QString&, const QString&) { return Folder.filePath("inf.xlsx"); };
    History->ExporttoExcel->trigger();
    const QMap<QString, sSheetCell> sheet = ReadSheet(Folder.filePath("inf.xlsx"));
    QCOMPARE(Cell(2, 2), QString("INF dB"));
    QVERIFY(!sheet.value("C5").IsNumber);
    QCOMPARE(sheet.value("C5").Value, QString("INF"));
    QVERIFY(sheet.value("C4").IsNumber);
    QVERIFY(QFile::remove(Folder.filePath("inf.xlsx")));
  }

  void ExportTitleIsTheQuotedFileName_data()
  {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");
    QTest::newRow("load") << "Load 'camera.bmp'"
                          << "camera.bmp";
    QTest::newRow("no quote") << "Noise (3)"
                              << "Noise (3)";
    QTest::newRow("quote last") << "odd'"
                                << "";
    QTest::newRow("quote inside") << "Load 'it's.bmp'"
                                  << "it's.bmp";
  }
  void ExportTitleIsTheQuotedFileName()
  {
    QFETCH(QString, title);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(cHistoryTable::ExportTitle(title.toStdString())), expected);
  }

  void NoCellCutsANumberAtTheDefaultWidth()
  {
    GlobalParams->ShowMSE = true;  // every measure column
    GlobalParams->FullUpdate();
    Load(KV_SAMPLES_DIR "camera.bmp");
    for (const char* name : {"Salt-and-Pepper Noise", "Adaptive Median Filter", "Invert", "Invert"}) Run(name);
    QTableWidget* grid = History->HistoryGrid;
    QTRY_VERIFY(grid->findItems("wait", Qt::MatchExactly).isEmpty());
    QCOMPARE(Cell(0, 2), QString("INF dB"));
    const QFontMetrics metrics(grid->font());
    for (int r = 0; r < grid->rowCount(); ++r) {
      for (int c = 2; c < grid->columnCount(); ++c)
        QVERIFY2(metrics.horizontalAdvance(Cell(r, c)) + 6 <= grid->columnWidth(c), qPrintable(Cell(r, c)));
      QCOMPARE(grid->item(r, 1)->toolTip(), Cell(r, 1));
    }
    // What does not fit is reached by scrolling, not squeezed.
    int total = 0;
    for (int c = 0; c < grid->columnCount(); ++c) total += grid->columnWidth(c);
    if (total > grid->viewport()->width()) QVERIFY(grid->horizontalScrollBar()->maximum() > 0);
  }

  void ImageInfoOfAGreyPicture()
  {
    Load(KV_SAMPLES_DIR "camera.bmp");
    QCOMPARE(Info->PageControl1->tabText(Info->PageControl1->currentIndex()), QString("Measures"));
    QCOMPARE(Info->WidthLabel->text(), QString("512 px"));
    QCOMPARE(Info->HeightLabel->text(), QString("512 px"));
    QCOMPARE(Info->ChannelsLabel->text(), QString("1"));
    QCOMPARE(Info->RawSizeLabel->text(), QString("262144 bytes"));
    QCOMPARE(Info->MSELabel->text(), QString("0.00"));
    QCOMPARE(Info->PSNRLabel->text(), QString("INF dB"));
    // Every measure the program has, the background indices "wait" first; nothing shows a fault.
    QStringList captions;
    for (QLabel* label : Info->PageControl1->widget(2)->findChildren<QLabel*>())
      if (label->objectName().isEmpty()) captions << label->text();
    QCOMPARE(captions, QStringList({"MSE:", "PSNR:", "IQ:", "IQHVS:", "SSIM:", "Time:"}));
    cImage* image = App->System()->GetImage(0);
    QTRY_VERIFY(Info->IQHVSLabel->text() != "wait" && Info->SSIMLabel->text() != "wait");
    QCOMPARE(Info->IQHVSLabel->text(), QString::fromStdString(image->GetMeasureStr("IQHVS")));
    QCOMPARE(Info->SSIMLabel->text(), QString("1.00"));
    Run("Median Filter");
    QTRY_VERIFY(Info->IQHVSLabel->text() != "wait" && Info->SSIMLabel->text() != "wait");
    for (QLabel* label : Info->PageControl1->widget(2)->findChildren<QLabel*>())
      QVERIFY2(!label->text().isEmpty() && !label->text().contains("error"), qPrintable(label->objectName()));
    QCOMPARE(Info->SSIMLabel->text(), QString::fromStdString(App->System()->GetImage(1)->GetMeasureStr("SSIM")));
    App->System()->SetCurrentImageID(0);
    QCOMPARE(Info->GrayLine->count(), 256);
    qreal total = 0;
    for (const QPointF& p : Info->GrayLine->points()) total += p.y();
    QCOMPARE(total, 262144.0);
    for (QLineSeries* channel : Info->ChannelSeries) QCOMPARE(channel->count(), 0);

    // Closing the picture empties the window.
    Form->SetConfirmHandler([](const QString&) { return true; });
    Form->CloseImageAction->trigger();
    QTRY_COMPARE(App->System()->SavedImageCount(), 0);
    for (QLabel* label : {Info->WidthLabel, Info->HeightLabel, Info->ChannelsLabel, Info->RawSizeLabel, Info->MeanLabel,
                          Info->VarianceLabel, Info->MSELabel, Info->PSNRLabel, Info->IQLabel, Info->IQHVSLabel,
                          Info->SSIMLabel, Info->TimeLabel, Info->NoiseSigmaLabel})
      QCOMPARE(label->text(), QString());
    QCOMPARE(Info->GrayLine->count(), 0);
    QCOMPARE(History->HistoryGrid->rowCount(), 1);
  }

  void ImageInfoStatistics_data()
  {
    QTest::addColumn<QVector<int>>("levels");
    QTest::addColumn<QString>("mean");
    QTest::addColumn<QString>("variance");
    QTest::newRow("constant") << QVector<int>{37} << "37"
                              << "0.00";
    QTest::newRow("mean 127.9 shows 127") << QVector<int>{128, 128, 128, 128, 128, 128, 128, 128, 128, 127} << "127"
                                          << "0.09";
    QTest::newRow("two extremes") << QVector<int>{0, 255} << "127"
                                  << "16256.00";
  }
  void ImageInfoStatistics()
  {
    QFETCH(QVector<int>, levels);
    QFETCH(QString, mean);
    QFETCH(QString, variance);
    const QString file = Folder.filePath("flat.bmp");
    std::vector<uint8_t> values(levels.begin(), levels.end());
    SaveFlat(file, 10, 6, values);
    Load(file);
    QCOMPARE(Info->MeanLabel->text(), mean);
    QCOMPARE(Info->VarianceLabel->text(), variance);
    if (levels.size() == 1) QCOMPARE(Info->GrayLine->at(levels[0]).y(), 60.0);
    // The noise estimate is made when its page is shown, and follows the current picture.
    Info->PageControl1->setCurrentIndex(1);
    // Every row of these pictures is the same: no diagonal detail, no noise.
    QCOMPARE(Info->NoiseSigmaLabel->text(), QString("0.00"));
    Info->PageControl1->setCurrentIndex(2);
  }

  void VarianceHasFiveSignificantDigitsAndTwoDecimals_data()
  {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "0.00";
    QTest::newRow("rounded to five digits") << 1234.5678 << "1234.60";
    QTest::newRow("small") << 3.14159 << "3.14";
    QTest::newRow("large") << 16256.25 << "16256.00";
  }
  void VarianceHasFiveSignificantDigitsAndTwoDecimals()
  {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(TImageInfoToolForm::FormatVariance(value), text);
  }

  void ColourPictureAddsOneLinePerChannel()
  {
    Load(KV_SAMPLES_DIR "chelsea.bmp");
    QCOMPARE(Info->ChannelsLabel->text(), QString("3"));
    cImage* image = App->System()->GetImage(0);
    for (int c = 0; c < 3; ++c) {
      QCOMPARE(Info->ChannelSeries[c]->count(), 256);
      const int* counts = image->GetChannelProperties(c)->GetHistogram();
      for (int level : {0, 77, 200}) QCOMPARE(Info->ChannelSeries[c]->at(level).y(), qreal(counts[level]));
    }
    // A click on the origin's row shows the origin's facts.
    Run("Invert");
    QCOMPARE(Info->MSELabel->text(), QString::fromStdString(App->System()->GetImage(1)->GetMeasureStr("MSE")));
    QTableWidget* grid = History->HistoryGrid;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(0, 1)).center());
    QCOMPARE(Info->MSELabel->text(), QString("0.00"));
  }
};

QTEST_MAIN(TestToolForms)
#include "test_toolforms.moc"
