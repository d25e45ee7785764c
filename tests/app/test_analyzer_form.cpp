// The analyzer window through the real program: page flow, running parameters, the steps
// edit, restoration names, the results against the kernel's numbers, Stop and the exports.
#include <QAction>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtTest>
#include <cmath>
#include <sstream>

#include "AppTestSupport.h"
#include "TAnalyzerForm.h"
#include "TAutoOperationForm.h"
#include "TCategoryButtons.h"
#include "TImprovedSpinEdit.h"
#include "TKvadraApplication.h"
#include "TKvadraMainForm.h"
#include "TParamsPanel.h"
#include "TPlaneViewer.h"
#include "cAnalyzerResults.h"
#include "kvFacade/cKvadraSystem.h"
#include "kvPixels/cBMPSurface.h"
#include "kvImages/cImage.h"
#include "kvMessages/iObserver.h"
#include "kvOperations/cRandomGenerator.h"

namespace {
// Runs a function at every point of an experiment, after the window has taken the point.
class PointProbe : public iObserver {
public:
  std::function<void()> OnPoint;
  void Update(sMessage& m) override
  {
    if (m.Msg == ANALYZER_POINT_READY && OnPoint) OnPoint();
  }
};

QString Expected(double v)
{
  if (std::isinf(v)) return "inf";
  return QString::number(v, 'f', 2);
}
}  // namespace

class TestAnalyzerForm : public QObject {
  Q_OBJECT

  std::unique_ptr<TKvadraApplication> App;
  TAnalyzerForm* Form = nullptr;
  std::vector<std::string> Shown;

  cKvadraSystem* System() { return App->System(); }
  int Uid(const char* name) { return int(System()->FindOperationUID(name)); }
  QWidget* Page() { return Form->PageControl->currentWidget(); }
  QList<QRadioButton*> Radios()
  {
    return Form->SelectRunningParamPanel->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
  }
  void Next() { QTest::mouseClick(Form->NextButton, Qt::LeftButton); }
  void Back() { QTest::mouseClick(Form->BackButton, Qt::LeftButton); }
  void Pick(TCategoryButtons* selector, const char* name)
  {
    QPushButton* button = selector->FindButton(Uid(name));
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  // Walks the wizard up to the criterion page with a sweep of the noise's first numeric parameter.
  void SetUp(const char* noise, double min, double max, int steps, const QStringList& restorations)
  {
    Pick(Form->CorruptionSelector, noise);
    Next();
    Form->MinEdit->SetValue(min);
    Form->MaxEdit->SetValue(max);
    Form->StepsEdit->SetValue(steps);
    Next();
    for (const QString& r : restorations) Pick(Form->RestorationSelector, r.toLocal8Bit().constData());
    Next();
  }
  // Whether the main viewer shows the current history picture's pixels (at the zoom it has).
  bool ViewerShowsCurrent()
  {
    TPlaneViewer* viewer = App->MainForm()->SpatialViewer;
    const QImage shown = viewer->grab().toImage();
    const sViewerInfo info = viewer->GetInfo();
    const cBMPSurface* surface = System()->GetImage(System()->GetCurrentImageID())->GetSurface();
    int checked = 0;
    for (int y = info.TexelTop; y < info.TexelBottom; y += 7)
      for (int x = info.TexelLeft; x < info.TexelRight; x += 5, ++checked) {
        const QPoint at(info.ScreenX + int(x - info.X0), info.ScreenY + int(y - info.Y0));
        if (qGray(shown.pixel(at)) != surface->Row(y)[x]) return false;
      }
    return checked > 100;
  }
  // A sweep's PSNR values per restoration, as the window tabulated them.
  QList<QList<double>> TableValues()
  {
    QList<QList<double>> values;
    for (int c = 1; c < Form->ResultsGrid->columnCount(); ++c) {
      QList<double> column;
      for (int r = 0; r < Form->ResultsGrid->rowCount(); ++r)
        column << Form->ResultsGrid->item(r, c)->text().toDouble();
      values << column;
    }
    return values;
  }
  void Start(const char* criterion)
  {
    QCOMPARE(Page(), Form->CriterionTabSheet);
    for (QAbstractButton* box : Form->CriteriaButtons->buttons())
      if (box->isChecked() != (box->objectName() == QString("Criterion_") + criterion)) box->click();
    Next();  // runs the experiment and returns when it has ended
  }

  // The results grid and the chart hold the kernel's numbers of both series; the infinite
  // PSNR of the first point is written but not drawn.
  void CheckGridAndChartHoldTheKernelsResults(int rows)
  {
    for (int s = 0; s < 2; ++s) {
      QList<QPointF> plotted;
      for (int k = 0; k < rows; ++k) {
        double x = 0, y = 0;
        System()->AnalyzerGetResultAt(unsigned(s), unsigned(k), x, y);
        QCOMPARE(Form->ResultsGrid->item(k, 0)->text(), Expected(x));
        QCOMPARE(Form->ResultsGrid->item(k, s + 1)->text(), Expected(y));
        if (!std::isinf(y)) plotted << QPointF(x, y);
      }
      QCOMPARE(Form->ChartSeries()[s]->points(), plotted);
    }
    QCOMPARE(Form->ResultsGrid->item(0, 1)->text(), QString("inf"));
    QCOMPARE(Form->ChartSeries()[0]->count(), rows - 1);  // the infinite point is not drawn
  }
  // The table in the command-line program's layout, the clipboard, the chart as PNG and SVG,
  // and a table that cannot be written.
  void CheckTheExports()
  {
    QTemporaryDir dir;
    const QString csv = dir.filePath("table.csv");
    QVERIFY(Form->SaveTable(csv));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QCOMPARE(text, QByteArray::fromStdString(cAnalyzerResults::Build(*System()).CsvText()));
    QVERIFY(text.startsWith("Amount,Test Identity (W=3),Median Filter (WS=3;HS=3)\r\n0,inf,"));
    Form->CopyTable();
    std::ostringstream tabbed;
    cAnalyzerResults::Build(*System()).WriteTabSeparated(tabbed);
    QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(tabbed.str()));
    QVERIFY(Form->SaveChart(dir.filePath("chart.png")));
    QVERIFY(QImage(dir.filePath("chart.png")).width() > 100);
    QVERIFY(Form->SaveChart(dir.filePath("chart.svg")));
    QFile svg(dir.filePath("chart.svg"));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QVERIFY(svg.readAll().contains("<svg"));
    QVERIFY(!Form->SaveTable(dir.filePath("missing/table.csv")));
    QCOMPARE(Shown.size(), size_t(1));
  }

private slots:
  void init()
  {
    Shown.clear();
    kvapptest::AnswerDialogs(&Shown);
    App = kvapptest::StartHidden();
    System()->LoadPlugIns(KV_ANALYZER_PACKAGE_DIR);
    App->MainForm()->SetConfirmHandler([](const QString&) { return true; });
    // A test that closes the main window must not end the event loops of the next ones.
    QApplication::setQuitOnLastWindowClosed(false);
    App->MainForm()->resize(900, 600);
    App->MainForm()->show();
    QVERIFY(App->MainForm()->OpenFile(KV_SAMPLES_DIR "camera.bmp"));
    Form = App->Analyzer();
    QVERIFY(Form);
    App->MainForm()->StartAnalyzerAction->trigger();
    QVERIFY(Form->isVisible());
  }
  void cleanup()
  {
    App.reset();
    kvapptest::RestoreDialogs();
  }

  void SelectorsHoldNoisesAndFiltersByGroup()
  {
    QVERIFY(Form->CorruptionSelector->Categories().contains("Impulse Noises"));
    QVERIFY(Form->CorruptionSelector->FindButton(Uid("Salt-and-Pepper Noise")));
    QVERIFY(!Form->CorruptionSelector->FindButton(Uid("Median Filter")));
    QVERIFY(Form->RestorationSelector->FindButton(Uid("Median Filter")));
    QVERIFY(!Form->RestorationSelector->FindButton(Uid("Invert")));  // a transform is offered nowhere
    QCOMPARE(Form->RestorationSelector->FindButton(Uid("Median Filter"))->text(), QString("Median Filter"));
  }

  void PagesFollowNextAndBack()
  {
    QCOMPARE(Page(), Form->CorruptionTabSheet);
    QVERIFY(!Form->NextButton->isEnabled());
    QVERIFY(Form->BackButton->isHidden());
    Pick(Form->CorruptionSelector, "Rayleigh Noise");
    QCOMPARE(Radios().size(), 2);
    QVERIFY(Radios()[0]->isChecked());  // the first numeric parameter at once
    QCOMPARE(Form->GetRunningParamIndex(), 0);
    Radios()[1]->click();
    QCOMPARE(Form->GetRunningParamIndex(), 1);
    Radios()[0]->setChecked(true);  // as a screen reader's action does, without a click
    QCOMPARE(Form->GetRunningParamIndex(), 0);
    Radios()[1]->setChecked(true);
    QCOMPARE(Form->GetRunningParamIndex(), 1);
    QVERIFY(Form->NextButton->isEnabled());

    Next();
    QCOMPARE(Page(), Form->RunningTabSheet);
    QVERIFY(Form->BackButton->isVisible() && Form->BackButton->isEnabled());
    QCOMPARE(Form->CorruptionNameLabel2->text(), QString("Additive Noises :: Rayleigh Noise"));
    QCOMPARE(Form->RunningGroupBox->title(), QString(" B: "));
    QCOMPARE(Form->MinEdit->GetValue(), 0.0);
    QCOMPARE(Form->MaxEdit->GetValue(), 100.0);
    QCOMPARE(Form->StepsEdit->GetValue(), 10.0);
    // The swept parameter is left out of the static ones.
    QCOMPARE(Form->StaticParamsPanel->findChildren<TImprovedSpinEdit*>().size(), 1);

    Next();
    QCOMPARE(Page(), Form->RestorationTabSheet);
    QVERIFY(!Form->NextButton->isEnabled());
    Pick(Form->RestorationSelector, "Median Filter");
    QCOMPARE(Form->RestorationListBox->count(), 1);
    QCOMPARE(Form->RestorationListBox->item(0)->text(), QString("Median Filter (WS=3;HS=3)"));
    QVERIFY(Form->NextButton->isEnabled());

    Next();
    QCOMPARE(Page(), Form->CriterionTabSheet);
    QCOMPARE(Form->NextButton->text(), QString("Start!"));
    QVERIFY(Form->CriteriaGroup->isEnabled());
    QCOMPARE(Form->CriterionName(), QString("PSNR"));

    Back();
    QCOMPARE(Page(), Form->RestorationTabSheet);
    QCOMPARE(Form->NextButton->text(), QString("Next"));
    QVERIFY(Form->NextButton->isEnabled());  // the restoration added before still counts
    Back();
    QCOMPARE(Page(), Form->RunningTabSheet);
    Back();
    QCOMPARE(Page(), Form->CorruptionTabSheet);
    QVERIFY(Form->BackButton->isHidden());
    QVERIFY(Form->NextButton->isEnabled());
  }

  void ANoiseWithoutNumericParametersOffersNone()
  {
    Pick(Form->CorruptionSelector, "Salt-and-Pepper Noise");
    QVERIFY(Form->NextButton->isEnabled());
    Pick(Form->CorruptionSelector, "Test Flags Noise");
    QVERIFY(Radios().isEmpty());
    QCOMPARE(Form->CorruptionNameLabel->text(), QString("Test Flags Noise"));
    QCOMPARE(Form->GetRunningParamIndex(), -1);
    QVERIFY(!Form->NextButton->isEnabled());
  }

  void TheStepsEditKeepsThreeToFifty()
  {
    Pick(Form->CorruptionSelector, "Salt-and-Pepper Noise");
    Next();
    const QList<QPair<QString, double>> cases = {{"2", 3}, {"60", 50}, {"17", 17}, {"3", 3}, {"50", 50}};
    for (const auto& c : cases) {
      Form->StepsEdit->Edit()->selectAll();
      QTest::keyClicks(Form->StepsEdit->Edit(), c.first);
      QTest::keyClick(Form->StepsEdit->Edit(), Qt::Key_Return);
      QCOMPARE(Form->StepsEdit->GetValue(), c.second);
    }
  }

  void AnEditedRestorationShowsItsNewName()
  {
    SetUp("Salt-and-Pepper Noise", 0.1, 0.2, 3, {"Test Identity", "Median Filter"});
    Back();
    Form->RestorationListBox->setCurrentRow(0);
    auto edits = Form->RestorationParamsPanel->findChildren<TImprovedSpinEdit*>();
    QCOMPARE(edits.size(), 1);
    edits[0]->Edit()->selectAll();
    QTest::keyClicks(edits[0]->Edit(), "5");
    QCOMPARE(Form->RestorationListBox->item(0)->text(), QString("Test Identity (W=5)"));
    QCOMPARE(Form->RestorationListBox->item(1)->text(), QString("Median Filter (WS=3;HS=3)"));
    QCOMPARE(System()->AnalyzerGetRestorationNameAt(0), std::string("Test Identity (W=5)"));
  }

  void StaticParametersReachTheExperiment()
  {
    Pick(Form->CorruptionSelector, "Test Offset Noise");
    Next();
    auto edits = Form->StaticParamsPanel->findChildren<TImprovedSpinEdit*>();
    QCOMPARE(edits.size(), 1);  // "Extra"; "Amount" is swept
    edits[0]->Edit()->selectAll();
    QTest::keyClicks(edits[0]->Edit(), "5");
    Form->MinEdit->SetValue(0);
    Form->MaxEdit->SetValue(10);
    Form->StepsEdit->SetValue(5);
    Next();
    Pick(Form->RestorationSelector, "Test Identity");
    Next();
    Start("MSE");
    // Amount 0 plus Extra 5 on every sample: an MSE of exactly 25 wherever nothing saturates.
    double x = 0, y = 0;
    System()->AnalyzerGetResultAt(0, 0, x, y);
    QCOMPARE(x, 0.0);
    QVERIFY2(y > 20 && y <= 25, qPrintable(QString::number(y)));
    QCOMPARE(System()->GetImage(1)->GetTitle(), std::string("Test Offset Noise (A=0;E=5)"));
  }

  void TheResultsEqualTheKernelsNumbers()
  {
    PointProbe probe;
    QList<QList<int>> drawn;  // per point: the chart's points per series
    QList<QList<int>> made;
    QList<QList<bool>> enabled;
    probe.OnPoint = [&] {
      QList<int> d, m;
      for (int s = 0; s < 2; ++s) {
        d << int(Form->ChartSeries()[s]->count());
        m << System()->AnalyzerGetPointsMade(s);
      }
      drawn << d;
      made << m;
      TKvadraMainForm* main = App->MainForm();
      enabled << QList<bool>{main->OpenImageAction->isEnabled(), main->CloseImageAction->isEnabled(),
                             main->UndoAction->isEnabled(),      main->StartAnalyzerAction->isEnabled(),
                             App->OperationForm()->isEnabled(),  Form->NextButton->isEnabled(),
                             Form->StopButton->isEnabled()};
    };
    System()->AddObserver(&probe);
    // Amount 0 leaves the picture as it was: the identity's PSNR is infinite there.
    SetUp("Test Offset Noise", 0, 20, 4, {"Test Identity", "Median Filter"});
    Start("PSNR");
    probe.OnPoint = nullptr;

    QVERIFY(!System()->AnalyzerWasCancelled());
    QCOMPARE(Form->NextButton->text(), QString("Exit"));
    QVERIFY(Form->NextButton->isEnabled());
    const int rows = System()->AnalyzerGetSweepLength();
    QCOMPARE(rows, 5);
    QCOMPARE(Form->ResultsGrid->rowCount(), rows);
    QCOMPARE(Form->ResultsGrid->columnCount(), 3);
    QCOMPARE(Form->ResultsGrid->horizontalHeaderItem(0)->text(), QString("Amount"));
    QCOMPARE(Form->ResultsGrid->horizontalHeaderItem(1)->text(), QString("Test Identity (W=3)"));
    QCOMPARE(Form->TitleLabel->text(), QString("Experiment Results PSNR"));
    CheckGridAndChartHoldTheKernelsResults(rows);
    if (QTest::currentTestFailed()) return;
    // While it ran: only the points made were drawn, and nothing could call the kernel.
    const QList<QList<int>> expectedMade = {{1, 0}, {1, 1}, {2, 1}, {2, 2}, {3, 2},
                                            {3, 3}, {4, 3}, {4, 4}, {5, 4}, {5, 5}};
    QCOMPARE(made, expectedMade);
    for (int i = 0; i < drawn.size(); ++i) {
      QCOMPARE(drawn[i][0], made[i][0] - 1);  // less the infinite one
      QCOMPARE(drawn[i][1], made[i][1]);
      QCOMPARE(enabled[i], (QList<bool>{false, false, false, false, false, false, true}));
    }
    QVERIFY(App->MainForm()->CloseImageAction->isEnabled());
    QVERIFY(App->MainForm()->UndoAction->isEnabled());
    QVERIFY(App->OperationForm()->isEnabled());
    QVERIFY(!Form->StopButton->isEnabled());

    CheckTheExports();
    if (QTest::currentTestFailed()) return;
    Next();  // "Exit"
    QVERIFY(!Form->isVisible());
  }

  void StopOrClosingKeepsThePointsMade_data()
  {
    QTest::addColumn<bool>("closeMain");
    QTest::newRow("Stop button") << false;
    QTest::newRow("main window closed") << true;
  }
  void StopOrClosingKeepsThePointsMade()
  {
    QFETCH(bool, closeMain);
    PointProbe probe;
    int points = 0;
    bool closedAtOnce = true;
    probe.OnPoint = [&] {
      if (++points != 2) return;
      // Pressed while the next operation runs.
      QTimer::singleShot(0, Form, [&] {
        if (closeMain)
          closedAtOnce = App->MainForm()->close();
        else
          QTest::mouseClick(Form->StopButton, Qt::LeftButton);
      });
    };
    System()->AddObserver(&probe);
    const int before = System()->SavedImageCount();
    SetUp("Test Offset Noise", 0, 20, 10, {"Test Slow Filter"});
    Start("MSE");  // finite everywhere: every point made is drawn
    probe.OnPoint = nullptr;

    QVERIFY(System()->AnalyzerWasCancelled());
    const int made = System()->AnalyzerGetPointsMade(0);
    QVERIFY2(made >= 2 && made <= 3, qPrintable(QString::number(made)));
    QCOMPARE(System()->AnalyzerGetSeriesLenght(0), made);
    QCOMPARE(Form->ResultsGrid->rowCount(), made);
    QCOMPARE(Form->ChartSeries()[0]->count(), made);
    for (int k = 0; k < made; ++k) {
      double x = 0, y = 0;
      System()->AnalyzerGetResultAt(0, unsigned(k), x, y);
      QCOMPARE(Form->ResultsGrid->item(k, 1)->text(), Expected(y));
    }
    // Every restored picture of a point is in the history, with its corrupted one.
    QVERIFY(System()->SavedImageCount() >= before + 2 * made);
    QVERIFY(Form->StatusLabel->text().contains("stopped"));
    if (closeMain) {
      QVERIFY(!closedAtOnce);  // it waited for the experiment
      QTRY_VERIFY(!App->MainForm()->isVisible());
    } else {
      QVERIFY(App->MainForm()->isVisible());
    }
  }

  void SeveralCriteriaGiveAChartEachATableByCriterionAndTheCommandLinesPaperTable()
  {
    TAnalyzerForm::SetBaseSeed(1);
    Pick(Form->CorruptionSelector, "Gaussian Noise");
    Radios()[1]->click();  // Sigma
    Next();
    Form->MinEdit->SetValue(10);
    Form->MaxEdit->SetValue(50);
    Form->StepsEdit->SetValue(2);
    Next();
    Pick(Form->RestorationSelector, "Median Filter");
    Pick(Form->RestorationSelector, "Wiener Filter");
    Next();
    QVERIFY(Form->CriteriaButtons->button(1)->isChecked());  // PSNR
    Form->CriteriaGroup->findChild<QAbstractButton*>("Criterion_SSIM")->click();
    QCOMPARE(Form->CriterionNames(), (QStringList{"PSNR", "SSIM"}));
    Next();
    QCOMPARE(Form->ResultsGrid->columnCount(), 5);
    QCOMPARE(Form->ResultsGrid->horizontalHeaderItem(3)->text(), QString("SSIM: Median Filter (WS=3;HS=3)"));
    for (unsigned c = 0; c < 2; ++c)
      for (unsigned s = 0; s < 2; ++s)
        for (unsigned k = 0; k < 3; ++k)
          QCOMPARE(Form->ResultsGrid->item(int(k), int(1 + 2 * c + s))->text(),
                   QString::number(System()->AnalyzerGetCriterionValueAt(s, k, c), 'f', c == 0 ? 2 : 4));
    // The chart follows the selector.
    Form->ChartCriterionBox->setCurrentIndex(1);
    QCOMPARE(Form->ChartSeries()[1]->at(2).y(), System()->AnalyzerGetCriterionValueAt(1, 2, 1));

    // The copied command, run by kvadra, gives the table the window saves.
    Form->CopyCommand();
    const QString command = QApplication::clipboard()->text();
    QVERIFY2(command.startsWith("kvadra analyze ") && command.contains("--criterion PSNR --criterion SSIM --seed 1"),
             qPrintable(command));
    QTemporaryDir dir;
    for (const char* kind : {"md", "tex"}) {
      const QString saved = dir.filePath(QString("table.") + kind);
      QVERIFY(Form->SaveTable(saved));
      QProcess shell;
      shell.start("sh",
                  {"-c", KV_BIN_DIR "/" + command + " --table " + (kind == QString("md") ? "markdown" : "latex")});
      QVERIFY(shell.waitForFinished(60000));
      QCOMPARE(shell.exitCode(), 0);
      QFile file(saved);
      QVERIFY(file.open(QIODevice::ReadOnly));
      const QByteArray desktop = file.readAll(), program = shell.readAllStandardOutput();
      QVERIFY(desktop.contains("\\textbf{") || desktop.contains("**"));
      // Beyond their first lines (the command that made them), the tables are the same.
      QCOMPARE(desktop.mid(desktop.indexOf('\n') + 1), program.mid(program.indexOf('\n') + 1));
    }
    TAnalyzerForm::SetBaseSeed(std::nullopt);
    cRandomGenerator::ClearSeed();
  }

  void TheViewerShowsTheCurrentPictureDuringAndAfterAnExperiment_data()
  {
    QTest::addColumn<bool>("stop");
    QTest::newRow("finished") << false;
    QTest::newRow("stopped") << true;
  }
  void TheViewerShowsTheCurrentPictureDuringAndAfterAnExperiment()
  {
    QFETCH(bool, stop);
    QVERIFY(QTest::qWaitForWindowExposed(App->MainForm()));
    App->MainForm()->SpatialViewer->ActualSize();
    QVERIFY(ViewerShowsCurrent());
    QCOMPARE(Form->ExperimentImageBox->currentText(), QString("Load 'camera.bmp' (512 x 512, grey)"));
    PointProbe probe;
    int points = 0;
    QList<bool> followed;
    probe.OnPoint = [&] {
      followed << ViewerShowsCurrent();
      if (++points == 2 && stop)
        QTimer::singleShot(0, Form, [&] { QTest::mouseClick(Form->StopButton, Qt::LeftButton); });
    };
    System()->AddObserver(&probe);
    SetUp("Test Offset Noise", 10, 40, stop ? 10 : 3, {stop ? "Test Slow Filter" : "Test Identity"});
    Start("MSE");
    probe.OnPoint = nullptr;
    QCOMPARE(System()->AnalyzerWasCancelled(), stop);
    QVERIFY(!followed.contains(false));
    // The pictures are kept, and the one the experiment ran on is current and shown again.
    QVERIFY(System()->SavedImageCount() >= 1 + 2 * points);
    QCOMPARE(System()->GetCurrentImageID(), 0);
    QVERIFY(ViewerShowsCurrent());
    System()->SetCurrentImageID(System()->SavedImageCount() - 1);
    App->MainForm()->UndoAction->trigger();
    QVERIFY(ViewerShowsCurrent());
  }

  void TheExperimentRunsOnThePictureChosenAndRepeatsOnIt()
  {
    // History: the loaded picture, then its negative, which is current.
    App->MainForm()->InvertAction->trigger();
    QTRY_COMPARE(System()->SavedImageCount(), 2);
    QTRY_VERIFY(!System()->IsBusy());
    // The window learns of the new picture through the event queue, which may lag behind.
    QTRY_COMPARE(Form->ExperimentImageBox->count(), 2);
    QTRY_COMPARE(Form->ExperimentImageBox->currentIndex(), 1);
    Form->ExperimentImageBox->setCurrentIndex(0);
    emit Form->ExperimentImageBox->activated(0);
    QTest::qWait(50);  // measures finishing in the background do not undo the choice
    QCOMPARE(Form->ExperimentImageID(), 0);

    const char* noise = "Salt-and-Pepper Noise";
    const QStringList filters{"Median Filter", "Adaptive Median Filter"};
    SetUp(noise, 0.05, 0.5, 3, filters);
    Start("PSNR");
    // The first corrupted picture is the loaded one with impulses, not its negative.
    const cBMPSurface* loaded = System()->GetImage(0)->GetSurface();
    const cBMPSurface* corrupted = System()->GetImage(2)->GetSurface();
    int same = 0;
    for (int y = 0; y < 512; ++y)
      for (int x = 0; x < 512; ++x) same += loaded->Row(y)[x] == corrupted->Row(y)[x];
    QVERIFY2(same > 512 * 512 * 8 / 10, qPrintable(QString::number(same)));
    QCOMPARE(System()->GetCurrentImageID(), 0);
    const QList<QList<double>> first = TableValues();

    // Exit, open again and repeat: the same picture, the same curves within the noise.
    Next();
    App->MainForm()->StartAnalyzerAction->trigger();
    QCOMPARE(Form->ExperimentImageID(), 0);
    QCOMPARE(Form->RestorationSelector->GetSelected(), -1);  // no restoration looks chosen
    SetUp(noise, 0.05, 0.5, 3, filters);
    Start("PSNR");
    const QList<QList<double>> second = TableValues();

    // And what the command-line program measures on the same file.
    QTemporaryDir dir;
    QProcess cli;
    cli.start(KV_BIN_DIR "/kvadra", {"analyze", KV_SAMPLES_DIR "camera.bmp", "--corrupt", noise, "--sweep",
                                     "Noise percent", "0.05", "0.5", "3", "--restore", filters[0], "--restore",
                                     filters[1], "--criterion", "PSNR", "--seed", "1", "--csv", dir.filePath("t.csv")});
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitCode(), 0);
    QFile csv(dir.filePath("t.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 5);
    QCOMPARE(first.size(), 2);
    for (int f = 0; f < 2; ++f)
      for (int k = 0; k < 4; ++k) {
        const double cliValue = lines[k + 1].trimmed().split(',')[f + 1].toDouble();
        QVERIFY2(std::fabs(first[f][k] - second[f][k]) < 0.5 && std::fabs(first[f][k] - cliValue) < 0.5,
                 qPrintable(QString("%1 %2 %3").arg(first[f][k]).arg(second[f][k]).arg(cliValue)));
      }
  }

  void TheWindowResizesKeepsItsSizeAndNamesWholeSeries()
  {
    QTemporaryDir dir;
    const QString settings = dir.filePath("kvadra.ini");
    App.reset();  // one program at a time
    App = kvapptest::StartHidden(kvapptest::PlugInFolder, settings);
    App->MainForm()->show();
    QVERIFY(App->MainForm()->OpenFile(KV_SAMPLES_DIR "camera.bmp"));
    Form = App->Analyzer();
    App->MainForm()->StartAnalyzerAction->trigger();
    QCOMPARE(Form->size(), QSize(636, 389));
    SetUp("Salt-and-Pepper Noise", 0.1, 0.2, 2, {"Adaptive Median Filter", "Median Filter"});
    Start("PSNR");
    const QSize chartBefore = Form->ResultsChart->size();
    Form->resize(1100, 760);
    QTRY_VERIFY(Form->ResultsChart->width() > chartBefore.width() + 300);
    QVERIFY(Form->ResultsChart->height() > chartBefore.height() + 200);
    QCOMPARE(Form->NextButton->geometry().bottomRight(), QPoint(1100 - 10, 760 - 10));
    for (QLineSeries* series : Form->ChartSeries()) {
      QVERIFY(series->name().size() > 20);
      QVERIFY2(Form->LegendLabel->text().contains(series->name().toHtmlEscaped()), qPrintable(series->name()));
    }
    // Hovering a line names its nearest point's values.
    QLineSeries* median = Form->ChartSeries()[1];
    const QPointF point = median->at(1);
    emit median->hovered(point + QPointF(0.001, 0), true);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(),
             median->name() + "\nNoise percent = " + Expected(point.x()) + "\nPSNR = " + Expected(point.y()));

    Next();  // "Exit"
    App.reset();
    App = kvapptest::StartHidden(kvapptest::PlugInFolder, settings);
    QCOMPARE(App->Analyzer()->size(), QSize(1100, 760));
  }

  void WithoutAPictureTheExperimentIsRefused()
  {
    SetUp("Salt-and-Pepper Noise", 0.1, 0.2, 3, {"Median Filter"});
    App->MainForm()->CloseImageAction->trigger();
    QCOMPARE(System()->GetCurrentImageID(), -1);
    Start("PSNR");
    QCOMPARE(Shown, (std::vector<std::string>{"Load an image before starting an experiment."}));
    QCOMPARE(Form->ResultsGrid->rowCount(), 0);
    QVERIFY(Form->StatusLabel->text().contains("Load an image"));
    QVERIFY(Form->NextButton->isEnabled());
  }
};

QTEST_MAIN(TestAnalyzerForm)
#include "test_analyzer_form.moc"
