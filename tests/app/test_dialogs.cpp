// The preferences and resample dialogs: index mapping, persistence, limits and messages.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "AppTestSupport.h"
#include "TImprovedRadioGroup.h"
#include "TKvadraApplication.h"
#include "TKvadraMainForm.h"
#include "TPlaneViewer.h"

#include "TPreferencesForm.h"
#include "TResampleForm.h"
#include "TSplashForm.h"
#include "kvFacade/cKvadraSystem.h"
#include "cResampleLimits.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvPixels/cBMPSurface.h"

class TestDialogs : public QObject {
  Q_OBJECT

  std::unique_ptr<TKvadraApplication> App;
  QTemporaryDir Folder;
  QStringList Messages;

  void Start()
  {
    App = kvapptest::StartHidden(kvapptest::PlugInFolder, Folder.filePath("Kvadra2.conf"));
    App->Preferences()->ShowMessage = [this](const QString& m) { Messages << m; };
    App->Resample()->ShowMessage = [this](const QString& m) { Messages << m; };
  }
  // Runs a modal dialog's exec and presses a button of it once it is up.
  template <class Dialog>
  void WhenShown(Dialog* dialog, std::function<void()> act)
  {
    QTimer::singleShot(0, dialog, [dialog, act] {
      QTRY_VERIFY(dialog->isVisible());
      act();
    });
  }

private slots:
  void init()
  {
    *GlobalParams = cuGlobalParameters();
    Messages.clear();
    QFile::remove(Folder.filePath("Kvadra2.conf"));
    kvapptest::AnswerDialogs();
  }
  void cleanup()
  {
    App.reset();
    *GlobalParams = cuGlobalParameters();
    kvapptest::RestoreDialogs();
  }

  void ResampleLimits()
  {
    cResampleLimits limits;
    limits.Setup(200, 100);
    QCOMPARE(limits.MaxWidthPx, 10000.f);
    QCOMPARE(limits.MaxHeightPx, 5000.f);
    QCOMPARE(limits.MinWidthPx, 2.f);
    QCOMPARE(limits.MinHeightPx, 1.f);
    QCOMPARE(limits.WidthPxChanged(300), std::string());
    QCOMPARE(limits.NewHeight, 150);
    QCOMPARE(limits.WidthPercent, 150.f);
    QCOMPARE(limits.HeightPercent, 150.f);
    QCOMPARE(limits.WidthPxChanged(20000), std::string("Set value between 2 and 10000"));
    QCOMPARE(limits.NewWidth, 10000);
    QCOMPARE(limits.NewHeight, 5000);
    QCOMPARE(limits.HeightPercentChanged(50), std::string());
    QCOMPARE(limits.NewWidth, 100);
    QCOMPARE(limits.NewHeight, 50);
    QCOMPARE(limits.WidthPercentChanged(0.1), std::string("Set value between 1 and 5000"));
    // Without the constraint each side changes alone, within 1 .. 10000.
    limits.SetConstrained(false);
    limits.Reset();
    QCOMPARE(limits.MaxHeightPx, 10000.f);
    QCOMPARE(limits.WidthPxChanged(500), std::string());
    QCOMPARE(limits.NewWidth, 500);
    QCOMPARE(limits.NewHeight, 100);
    QCOMPARE(limits.HeightPxChanged(0), std::string("Set value between 1 and 10000"));
    QCOMPARE(limits.NewHeight, 1);
    limits.Setup(100, 300);  // taller than wide
    limits.SetConstrained(true);
    QCOMPARE(limits.MaxWidthPx, 3333.f);
    QCOMPARE(limits.MinHeightPx, 3.f);
  }

  void ResampleDialogCancelRunsNothingAndOkMatchesTheCommandLine()
  {
    Start();
    QVERIFY(App->MainForm()->OpenFile(KV_SAMPLES_DIR "camera.bmp"));
    TResampleForm* dialog = App->Resample();
    WhenShown(dialog, [dialog] { dialog->CancelBtn->click(); });
    App->MainForm()->ResizeAction->trigger();
    QCOMPARE(App->System()->GetSelectedOperation(), 0u);
    QTest::qWait(50);
    QVERIFY(!App->System()->IsBusy());
    QCOMPARE(App->System()->SavedImageCount(), 1);

    WhenShown(dialog, [dialog] {
      dialog->TypeBox->setCurrentIndex(1);
      dialog->WidthPxEdit->setValue(300);  // constrained: the height follows
      dialog->OKBtn->click();
    });
    App->MainForm()->ResizeAction->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!App->System()->IsBusy() && App->System()->GetImage(0)->GetWidth() == 300,
                             kvapptest::BusyTimeoutMs);
    QCOMPARE(App->System()->GetImage(0)->GetHeight(), 300);

    QProcess cli;
    const QString out = Folder.filePath("resized.bmp");
    cli.start(KV_BIN_DIR "/kvadra", {"run", KV_SAMPLES_DIR "camera.bmp", "--op", "Resample", "--set", "NewWidth=300",
                                     "--set", "NewHeight=300", "--set", "ResampleType=Bilinear", "--out", out});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    cBMPSurface expected;
    QVERIFY(expected.LoadImage(out.toStdString()));
    const cBMPSurface& mine = *App->System()->GetImage(0)->GetSurface();
    for (int y = 0; y < 300; ++y) QVERIFY(std::memcmp(mine.Row(y), expected.Row(y), 300) == 0);
  }

  void PreferencesMapAndKeepTheQualityWindow()
  {
    int w = 0, h = 0;
    TPreferencesForm::WindowFromIndex(TPreferencesForm::WindowIndex(7, 9), w, h);
    QCOMPARE(QPair(w, h), QPair(7, 9));
    QCOMPARE(TPreferencesForm::WindowIndex(5, 5), 6);
    Start();
    TPreferencesForm* dialog = App->Preferences();
    dialog->LoadValues();
    QCOMPARE(dialog->IQ_RadioGroup->GetItemIndex(), 6);
    QCOMPARE(dialog->IQ_RadioGroup->Button(TPreferencesForm::WindowIndex(7, 9))->text(), QString("[7 x 9]"));

    // Only the time unit: the indices stay valid.
    dialog->TimeRG->SetItemIndex(1);
    dialog->OKBtn->click();
    QCOMPARE(GlobalParams->TimeUnit, uint8_t(0));
    QVERIFY(!GlobalParams->CriteriaSettingsChanged);

    dialog->LoadValues();
    dialog->IQ_RadioGroup->SetItemIndex(TPreferencesForm::WindowIndex(7, 9));
    dialog->MSECheckBox->setChecked(true);
    dialog->IQHVSCheckBox->setChecked(false);
    dialog->K1_Edit->setText("0.02");
    QSignalSpy announced(dialog, &QDialog::accepted);
    dialog->OKBtn->click();
    QCOMPARE(announced.count(), 1);
    QCOMPARE(GlobalParams->QualityWindowWidth, 7);
    QCOMPARE(GlobalParams->QualityWindowHeight, 9);
    QCOMPARE(GlobalParams->K1, 0.02);
    dialog->LoadValues();
    QCOMPARE(dialog->IQ_RadioGroup->GetItemIndex(), TPreferencesForm::WindowIndex(7, 9));

    // An unparsable constant: the message, the controls reloaded, nothing accepted.
    dialog->K2_Edit->setText("0,0x3");
    dialog->OKBtn->click();
    QCOMPARE(Messages, QStringList({"Error params input"}));
    QCOMPARE(dialog->K2_Edit->text(), QString("0.03"));
    QCOMPARE(GlobalParams->K2, 0.03);

    // A second start reads what was confirmed.
    App.reset();
    *GlobalParams = cuGlobalParameters();
    Start();
    QCOMPARE(GlobalParams->QualityWindowWidth, 7);
    QCOMPARE(GlobalParams->QualityWindowHeight, 9);
    QCOMPARE(GlobalParams->K1, 0.02);
    QCOMPARE(GlobalParams->TimeUnit, uint8_t(0));
    QVERIFY(GlobalParams->ShowMSE);
    QVERIFY(!GlobalParams->ShowIQHVS);
  }

  void PreferencesTreeShowsEachPage()
  {
    Start();
    TPreferencesForm* dialog = App->Preferences();
    const QList<QPair<QString, QString>> pages = {{"Histogram view", "HistogramSheet"},
                                                  {"History view", "HistorySheet"},
                                                  {"Measurments", "MeasurmentsSheet"},
                                                  {"Image quality index (IQ)", "IQSheet"},
                                                  {"IQHVS", "IQHVSSheet"},
                                                  {"SSIM", "SSIMSheet"},
                                                  {"Time", "TimeSheet"},
                                                  {"Picture files", "PictureFilesSheet"}};
    for (const auto& [caption, page] : pages) {
      const QList<QTreeWidgetItem*> items =
          dialog->PreferencesTreeView->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
      QCOMPARE(items.size(), 1);
      dialog->PreferencesTreeView->setCurrentItem(items.front());
      QCOMPARE(dialog->PreferencesPageControl->currentWidget()->objectName(), page);
    }
  }
  void AboutIsTheSplashClosedByAClick()
  {
    Start();
    TSplashForm* splash = App->Splash();
    QVERIFY(!splash->isVisible());
    // During start-up a click does nothing.
    splash->show();
    QTest::mouseClick(splash, Qt::LeftButton);
    QVERIFY(splash->isVisible());
    splash->hide();
    bool shown = false;
    QTimer::singleShot(0, splash, [&] {
      shown = splash->isVisible() && splash->isModal() && splash->InfoMemo->toPlainText().isEmpty();
      QTest::mouseClick(splash, Qt::LeftButton);
    });
    App->MainForm()->AboutAction->trigger();  // returns once closed
    QVERIFY(shown);
    QVERIFY(!splash->isVisible());
    QCOMPARE(splash->Composed().size(), splash->size());
  }

  void CorruptStoredValuesFallBackToDefaults()
  {
    {
      QSettings store(Folder.filePath("Kvadra2.conf"), QSettings::IniFormat);
      store.setValue("Measures/QualityWindowWidth", 4);  // even: not a window
      store.setValue("Measures/QualityWindowHeight", "eleven");
      store.setValue("Measures/K1", "nan");
      store.setValue("Measures/K2", "0.05");
      store.setValue("Measures/TimeUnit", "fortnights");
      store.setValue("History/ShowMSE", "maybe");
      store.setValue("History/ShowSSIM", "false");
      store.setValue("Files/MaxPixels", "-3");
    }
    Start();
    const cuGlobalParameters defaults;
    QCOMPARE(GlobalParams->QualityWindowWidth, defaults.QualityWindowWidth);
    QCOMPARE(GlobalParams->QualityWindowHeight, defaults.QualityWindowHeight);
    QCOMPARE(GlobalParams->K1, defaults.K1);
    QCOMPARE(GlobalParams->K2, 0.05);
    QCOMPARE(GlobalParams->TimeUnit, defaults.TimeUnit);
    QCOMPARE(GlobalParams->ShowMSE, defaults.ShowMSE);
    QVERIFY(!GlobalParams->ShowSSIM);
    QCOMPARE(GlobalParams->GetMaxPixels(), defaults.GetMaxPixels());
  }
};

int main(int argc, char** argv)
{
  return kvapptest::RunWithCNumbers<TestDialogs>(argc, argv);
}

#include "test_dialogs.moc"
