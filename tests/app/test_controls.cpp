// The program's own controls: viewer geometry and events, spin edit rules, radio group.
#include <QtTest>

#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>

#include "TAGauge.h"
#include "TImprovedRadioGroup.h"
#include "TImprovedSpinEdit.h"
#include "TPlaneViewer.h"
#include "kvViewerGeometry.h"

using namespace kvViewerGeometry;

namespace {
constexpr int kBar = 16;

void SendMove(QWidget* w, QPoint pos, Qt::MouseButtons held = Qt::LeftButton)
{
  QMouseEvent move(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton, held, Qt::NoModifier);
  QApplication::sendEvent(w, &move);
}
}  // namespace

class TestControls : public QObject {
  Q_OBJECT
private slots:
  void zoomSteps_data();
  void zoomSteps();
  void viewerZoomClamps();
  void smallPlaneIsCentred_data();
  void smallPlaneIsCentred();
  void scrollBarsNeeded_data();
  void scrollBarsNeeded();
  void viewerShowsOnlyNeededBars();
  void scrollLineAndClamp();
  void rulersHideUnder30Pixels();
  void rulerLabels_data();
  void rulerLabels();
  void positionEventOnlyWhenMoved();
  void zoomToFit_data();
  void zoomToFit();
  void noPlaneShowsNotice();
  void hoverAndKeys();

  void spinClampsOnEnter();
  void spinEmptyReadsZero();
  void spinDefaultIncrement_data();
  void spinDefaultIncrement();
  void spinPrecisionTwo();
  void spinEvenParity();
  void spinUnits();
  void spinMinEqualsMax();
  void spinGaugeDrag();

  void radioGroup();
};

void TestControls::zoomSteps_data()
{
  QTest::addColumn<int>("zoom");
  QTest::addColumn<int>("in");
  QTest::addColumn<int>("out");
  QTest::newRow("lowest") << 1 << 2 << 1;
  QTest::newRow("highest") << 1600 << 1600 << 1200;
  QTest::newRow("table value") << 100 << 150 << 75;
  QTest::newRow("between") << 37 << 50 << 30;
}

void TestControls::zoomSteps()
{
  QFETCH(int, zoom);
  QTEST(ZoomInStep(zoom), "in");
  QTEST(ZoomOutStep(zoom), "out");
}

void TestControls::viewerZoomClamps()
{
  TPlaneViewer v;
  v.resize(200, 200);
  v.SetPlaneSize(50, 50);
  QSignalSpy zoomed(&v, &TPlaneViewer::ZoomChanged);
  v.Zoom(0);
  QCOMPARE(v.GetZoom(), 1);
  v.Zoom(5000);
  QCOMPARE(v.GetZoom(), 1600);
  v.Zoom(37);
  QCOMPARE(v.GetZoom(), 37);
  v.ZoomIn();
  QCOMPARE(v.GetZoom(), 50);
  QCOMPARE(zoomed.count(), 4);
  QCOMPARE(zoomed.last().at(0).toInt(), 50);
  QCOMPARE(v.accessibleDescription(), QStringLiteral("Plane 50 x 50, zoom 50%"));
}

void TestControls::smallPlaneIsCentred_data()
{
  QTest::addColumn<int>("plane");
  QTest::addColumn<int>("zoom");
  QTest::addColumn<int>("screenX");
  QTest::addColumn<int>("screenWidth");
  // Draw area 400 wide from x = 1: middle 201.
  QTest::newRow("100 at 100%") << 100 << 100 << 151 << 100;
  QTest::newRow("100 at 150%") << 100 << 150 << 126 << 150;
  QTest::newRow("101 at 75%") << 101 << 75 << 164 << 75;
  QTest::newRow("odd width") << 99 << 100 << 152 << 99;
}

void TestControls::smallPlaneIsCentred()
{
  QFETCH(int, plane);
  QFETCH(int, zoom);
  const sViewerRect draw = DrawRect(402, 302, false, false, false, kBar).Draw;
  float cx = 0.0f, cy = 0.0f;
  const sViewerInfo info = ViewInfo(draw, plane, 10, zoom, cx, cy);
  QTEST(info.ScreenX, "screenX");
  QTEST(info.ScreenWidth, "screenWidth");
  QCOMPARE(info.X0, 0.0f);
  QCOMPARE(info.VisibleWidth, float(plane));
  QCOMPARE(cx, float(plane / 2));
  QCOMPARE(info.TexelRight, plane);
  QVERIFY(!NeededBars(402, 302, plane, 10, zoom, true, true, false, kBar).Horz);
}

void TestControls::scrollBarsNeeded_data()
{
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  QTest::addColumn<bool>("vertEnabled");
  QTest::addColumn<bool>("vert");
  QTest::addColumn<bool>("horz");
  // Control 202 x 202: draw area 200 x 200 at zoom 100.
  QTest::newRow("exactly as wide") << 200 << 200 << true << false << false;
  QTest::newRow("one wider") << 201 << 100 << true << false << true;
  QTest::newRow("horizontal brings vertical") << 201 << 190 << true << true << true;
  QTest::newRow("vertical brings horizontal") << 190 << 201 << true << true << true;
  QTest::newRow("vertical disabled") << 201 << 190 << false << false << true;
  QTest::newRow("room left for both") << 184 << 201 << true << true << false;
}

void TestControls::scrollBarsNeeded()
{
  QFETCH(int, width);
  QFETCH(int, height);
  QFETCH(bool, vertEnabled);
  const sBars b = NeededBars(202, 202, width, height, 100, vertEnabled, true, false, kBar);
  QTEST(b.Vert, "vert");
  QTEST(b.Horz, "horz");
}

void TestControls::viewerShowsOnlyNeededBars()
{
  TPlaneViewer v;
  v.resize(202, 202);
  v.EnableHorzScrollBar(true);
  v.EnableVertScrollBar(true);
  v.SetPlaneSize(200, 150);
  QVERIFY(!v.HorzScrollBar()->isVisibleTo(&v));
  QVERIFY(!v.VertScrollBar()->isVisibleTo(&v));
  v.Zoom(200);
  QVERIFY(v.HorzScrollBar()->isVisibleTo(&v));
  QVERIFY(v.VertScrollBar()->isVisibleTo(&v));
  const int t = v.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &v);
  QCOMPARE(v.GetDrawRect().Right, 201 - t);
  QCOMPARE(v.GetInfo().ScreenWidth, 200 - t);
  v.EnableVertScrollBar(false);
  QVERIFY(!v.VertScrollBar()->isVisibleTo(&v));
}

void TestControls::scrollLineAndClamp()
{
  TPlaneViewer v;
  v.resize(202, 202);
  v.EnableVertScrollBar(true);
  v.SetPlaneSize(100, 1000);
  v.Zoom(200);
  QCOMPARE(v.GetLookY(), 500.0f);
  v.VertScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  QCOMPARE(v.GetLookY(), 510.0f);  // 20 screen pixels at 200%
  QCOMPARE(v.VertScrollBar()->value(), qRound(v.GetInfo().Y0 * 2.0f));
  v.VertScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
  QCOMPARE(v.GetLookY(), 510.0f - v.GetInfo().VisibleHeight);
  v.VertScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
  QCOMPARE(v.GetInfo().Y0 + v.GetInfo().VisibleHeight, 1000.0f);
  v.SetLook(50.0f, -300.0f);
  QCOMPARE(v.GetInfo().Y0, 0.0f);
  QCOMPARE(v.VertScrollBar()->value(), 0);
}

void TestControls::rulersHideUnder30Pixels()
{
  const sLayout narrow = DrawRect(31, 100, false, false, true, kBar);
  QVERIFY(!narrow.RulersShown);
  QCOMPARE(narrow.Draw.Left, 1);
  QCOMPARE(narrow.Draw.Width(), 29);
  const sLayout fits = DrawRect(32, 100, false, false, true, kBar);
  QVERIFY(fits.RulersShown);
  QCOMPARE(fits.Draw.Left, 16);
  QCOMPARE(fits.Draw.Top, 16);
  QCOMPARE(fits.HorzStrip.Left, 15);
  QCOMPARE(fits.VertStrip.Top, 15);
  QVERIFY(!DrawRect(100, 40, false, true, true, 16).RulersShown);  // the bar leaves 22 pixels
}

void TestControls::rulerLabels_data()
{
  QTest::addColumn<int>("zoom");
  QTest::addColumn<float>("texel");
  QTest::addColumn<int>("step");
  QTest::addColumn<int>("exponent");
  QTest::addColumn<float>("pixels");
  QTest::addColumn<QString>("label2");
  // Plane 512 x 512 in a 400 x 300 draw area.
  QTest::newRow("plain") << 100 << 1.0f << 50 << 0 << 50.0f << "100";
  QTest::newRow("thousands") << 100 << 1000.0f << 50 << 3 << 50.0f << "100e3";
  QTest::newRow("thousandths") << 100 << 0.001f << 50 << -3 << 50.0f << "100e-3";
  QTest::newRow("zoomed in") << 400 << 1.0f << 20 << 0 << 80.0f << "40";
  QTest::newRow("odd texel") << 100 << 7.0f << 500 << 0 << 500.0f * 512.0f / 3584.0f << "1000";
}

void TestControls::rulerLabels()
{
  QFETCH(int, zoom);
  QFETCH(float, texel);
  TPlaneViewerRulers r;
  QVERIFY(r.SetTexelSize(texel) == (texel != 1.0f));
  QVERIFY(!r.SetTexelSize(0.0f));
  const sViewerRect draw{16, 16, 416, 316};
  float cx = 256.0f, cy = 256.0f;
  r.Update(draw, ViewInfo(draw, 512, 512, zoom, cx, cy));
  QTEST(r.GetLabelStep(), "step");
  QTEST(r.GetExponent(), "exponent");
  QFETCH(float, pixels);
  QVERIFY(qAbs(r.GetPixelsPerStep() - pixels) < 1e-3f);
  QTEST(r.Label(2), "label2");
  QCOMPARE(r.Label(-2), r.Label(2));
}

void TestControls::positionEventOnlyWhenMoved()
{
  TPlaneViewer v;
  v.resize(302, 302);
  v.SetPlaneSize(1000, 1000);
  int fired = 0;
  v.OnPositionChange = [&fired](TPlaneViewer*) { ++fired; };
  QTest::mousePress(&v, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  QTest::mouseRelease(&v, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  QCOMPARE(fired, 0);
  QTest::mousePress(&v, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  SendMove(&v, QPoint(150, 140));
  QTest::mouseRelease(&v, Qt::LeftButton, Qt::NoModifier, QPoint(150, 140));
  QCOMPARE(fired, 1);
  QCOMPARE(v.GetLookX(), 450.0f);
  QCOMPARE(v.GetLookY(), 460.0f);
  // Look-only mode does not pan but still reports the release elsewhere.
  v.SetMode(TPlaneViewer::mView);
  QTest::mousePress(&v, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  SendMove(&v, QPoint(150, 140));
  QTest::mouseRelease(&v, Qt::LeftButton, Qt::NoModifier, QPoint(150, 140));
  QCOMPARE(v.GetLookX(), 450.0f);
  QCOMPARE(fired, 2);
}

void TestControls::zoomToFit_data()
{
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  QTest::addColumn<bool>("rulers");
  QTest::addColumn<int>("zoom");
  // Control 402 x 302: draw area 400 x 300, or 385 x 285 with rulers.
  QTest::newRow("wide plane") << 800 << 500 << false << 50;
  QTest::newRow("height limits") << 100 << 100 << false << 300;
  QTest::newRow("not a table value") << 300 << 10 << false << 133;
  QTest::newRow("rulers take room") << 385 << 100 << true << 100;
  QTest::newRow("tiny plane") << 1 << 1 << false << 1600;
}

void TestControls::zoomToFit()
{
  QFETCH(int, width);
  QFETCH(int, height);
  QFETCH(bool, rulers);
  QFETCH(int, zoom);
  TPlaneViewer v;
  v.resize(402, 302);
  v.EnableRulers(rulers);
  v.EnableHorzScrollBar(true);
  v.EnableVertScrollBar(true);
  v.SetPlaneSize(width, height);
  v.ZoomToFit();
  QCOMPARE(v.GetZoom(), zoom);
  QVERIFY(!v.IsHorzBarNeeded() && !v.IsVertBarNeeded());
  if (zoom < kMaxZoom) {
    v.Zoom(zoom + 1);
    QVERIFY(v.IsHorzBarNeeded() || v.IsVertBarNeeded());
  }
  // A plane too large for any zoom gets the smallest one.
  v.SetPlaneSize(100000, 10);
  v.ZoomToFit();
  QCOMPARE(v.GetZoom(), 1);
}

void TestControls::noPlaneShowsNotice()
{
  TPlaneViewer v;
  v.resize(200, 100);
  v.SetPlaneSize(10, 0);
  QVERIFY(!v.IsPlaneSet());
  QCOMPARE(v.accessibleDescription(), QStringLiteral("Image is not loaded"));
  v.SetMode(TPlaneViewer::mPan);
  QCOMPARE(v.GetMode(), int(TPlaneViewer::mNone));
  v.SetPlaneSize(10, 10);
  QCOMPARE(v.GetLookX(), 5.0f);
  QVERIFY(v.IsPlaneSet());
}

void TestControls::hoverAndKeys()
{
  TPlaneViewer v;
  v.resize(402, 302);
  v.SetPlaneSize(100, 50);  // screen rectangle from (151, 126)
  QSignalSpy hovered(&v, &TPlaneViewer::PlanePointHovered);
  SendMove(&v, QPoint(151, 126), Qt::NoButton);
  SendMove(&v, QPoint(250, 175), Qt::NoButton);
  SendMove(&v, QPoint(150, 126), Qt::NoButton);
  QCOMPARE(hovered.count(), 3);
  QCOMPARE(hovered.at(0), (QList<QVariant>{true, 0, 0}));
  QCOMPARE(hovered.at(1), (QList<QVariant>{true, 99, 49}));
  QCOMPARE(hovered.at(2).at(0).toBool(), false);
  QTest::keyClick(&v, Qt::Key_Plus);
  QCOMPARE(v.GetZoom(), 150);
  QTest::keyClick(&v, Qt::Key_Minus);
  QTest::keyClick(&v, Qt::Key_Minus);
  QCOMPARE(v.GetZoom(), 75);
}

void TestControls::spinClampsOnEnter()
{
  QWidget form;
  TImprovedSpinEdit spin(&form);
  QLineEdit next(&form);
  spin.SetMinValue(0);
  spin.SetMaxValue(30);
  form.show();
  QVERIFY(QTest::qWaitForWindowActive(&form));
  spin.Edit()->setFocus();
  QSignalSpy applied(&spin, &TImprovedSpinEdit::Apply);
  spin.Edit()->clear();
  QTest::keyClicks(spin.Edit(), "45");
  QTest::keyClick(spin.Edit(), Qt::Key_Return);
  QCOMPARE(spin.Edit()->text(), QStringLiteral("30"));
  QCOMPARE(applied.count(), 1);
  QVERIFY(next.hasFocus());
  // Leaving the control confirms too.
  spin.Edit()->setFocus();
  spin.Edit()->setText("-7");
  next.setFocus();
  QCOMPARE(spin.Edit()->text(), QStringLiteral("0"));
  QCOMPARE(applied.count(), 2);
}

void TestControls::spinEmptyReadsZero()
{
  TImprovedSpinEdit spin;
  spin.SetMaxValue(30);
  spin.SetValue(12);
  for (const char* text : {"", "-"}) {
    spin.Edit()->setText(text);
    QCOMPARE(spin.GetValue(), 0.0);
    QCOMPARE(spin.Edit()->text(), QStringLiteral("0"));
  }
  // Unreadable text keeps the last value written.
  spin.SetValue(12);
  spin.Edit()->setText("abc");
  QCOMPARE(spin.GetValue(), 12.0);
}

void TestControls::spinDefaultIncrement_data()
{
  QTest::addColumn<double>("max");
  QTest::addColumn<int>("precision");
  QTest::addColumn<double>("increment");
  QTest::newRow("too small for a step") << 30.0 << 0 << 1.0;
  QTest::newRow("a hundredth") << 1000.0 << 0 << 10.0;
  QTest::newRow("half away from zero") << 250.0 << 0 << 3.0;
  QTest::newRow("two decimals") << 1.0 << 2 << 0.01;
  QTest::newRow("last decimal") << 0.5 << 1 << 0.1;
}

void TestControls::spinDefaultIncrement()
{
  QFETCH(double, max);
  QFETCH(int, precision);
  TImprovedSpinEdit spin;
  spin.SetMinValue(0);
  spin.SetMaxValue(max);
  spin.SetPrecision(precision);
  QTEST(spin.GetIncrement(), "increment");
}

void TestControls::spinPrecisionTwo()
{
  // The text keeps a '.' whatever the user's locale.
  QLocale::setDefault(QLocale(QLocale::German));
  TImprovedSpinEdit spin;
  spin.SetMaxValue(1);
  spin.SetPrecision(2);
  spin.SetValue(0.5);
  QCOMPARE(spin.Edit()->text(), QStringLiteral("0.50"));
  QTest::keyClick(spin.Edit(), Qt::Key_Up);
  QCOMPARE(spin.Edit()->text(), QStringLiteral("0.51"));
  spin.SetValue(0.995);
  QTest::keyClick(spin.Edit(), Qt::Key_Up);
  QCOMPARE(spin.Edit()->text(), QStringLiteral("1.00"));
  spin.SetMinValue(-1);
  spin.SetValue(-0.001);
  QCOMPARE(spin.Edit()->text(), QStringLiteral("0.00"));
  QLocale::setDefault(QLocale::c());
}

void TestControls::spinEvenParity()
{
  TImprovedSpinEdit spin;
  spin.SetMinValue(3);
  spin.SetMaxValue(50);
  spin.SetPrecision(1);
  spin.SetDivisibility(TImprovedSpinEdit::Parity::Even);
  QCOMPARE(spin.GetPrecision(), 0);
  QCOMPARE(spin.GetMinValue(), 4.0);
  QCOMPARE(spin.GetMaxValue(), 50.0);
  QCOMPARE(spin.GetIncrement(), 2.0);
  spin.SetValue(7);
  QCOMPARE(spin.Edit()->text(), QStringLiteral("8"));
  spin.StepUp();
  QCOMPARE(spin.Edit()->text(), QStringLiteral("10"));
  QTest::keyClick(spin.Edit(), Qt::Key_Down);
  QTest::keyClick(spin.Edit(), Qt::Key_Down);
  QCOMPARE(spin.Edit()->text(), QStringLiteral("6"));
  QCOMPARE(spin.CheckValue(49.4), 50.0);  // rounded first, so parity cannot push it past the maximum
  spin.SetMaxValue(49);
  QCOMPARE(spin.GetMaxValue(), 48.0);
  spin.SetPrecision(1);
  QCOMPARE(spin.GetDivisibility(), TImprovedSpinEdit::Parity::None);
}

void TestControls::spinUnits()
{
  TImprovedSpinEdit spin;
  QSignalSpy changed(&spin, &TImprovedSpinEdit::Change);
  spin.SetUnitsOfMeasurements("ms");
  spin.SetValue(12);
  QCOMPARE(spin.Edit()->text(), QStringLiteral("12 ms"));
  QVERIFY(changed.count() >= 2);
  spin.Edit()->setText("17 ms");
  QCOMPARE(spin.GetValue(), 17.0);
  spin.Edit()->selectAll();
  QTest::keyClicks(spin.Edit(), "20");
  QTest::keyClick(spin.Edit(), Qt::Key_Enter);
  QCOMPARE(spin.Edit()->text(), QStringLiteral("20 ms"));
}

void TestControls::spinMinEqualsMax()
{
  TImprovedSpinEdit spin;
  spin.SetMinValue(5);
  spin.SetMaxValue(5);
  for (const char* text : {"0", "100", "", "5.4", "x"}) {
    spin.Edit()->setText(text);
    QTest::keyClick(spin.Edit(), Qt::Key_Return);
    QCOMPARE(spin.Edit()->text(), QStringLiteral("5"));
  }
  spin.StepUp();
  QCOMPARE(spin.Edit()->text(), QStringLiteral("5"));
  spin.SetMaxValue(2);  // kept at or above the minimum
  QCOMPARE(spin.GetMaxValue(), 5.0);
}

void TestControls::spinGaugeDrag()
{
  TImprovedSpinEdit spin;
  spin.SetMaxValue(30);
  spin.SetIncrementGauge(5);
  spin.resize(150, 24);
  spin.show();
  QVERIFY(QTest::qWaitForWindowExposed(&spin));
  QSignalSpy applied(&spin, &TImprovedSpinEdit::Apply);
  QWidget* button = spin.SpeedButton();
  QTest::mousePress(button, Qt::LeftButton);
  QVERIFY(spin.IsGaugeShown());
  TAGauge* gauge = spin.Gauge();
  // Just below 60 % of the way: 17.x snaps to 15; the far end gives the maximum.
  const QPoint at(1 + gauge->UsableLength() * 55 / 100, gauge->height() / 2);
  SendMove(button, button->mapFromGlobal(gauge->mapToGlobal(at)));
  QCOMPARE(spin.Edit()->text(), QStringLiteral("15"));
  SendMove(button, button->mapFromGlobal(gauge->mapToGlobal(QPoint(gauge->width() + 50, 0))));
  QCOMPARE(spin.Edit()->text(), QStringLiteral("30"));
  QCOMPARE(applied.count(), 0);
  QTest::mouseRelease(button, Qt::LeftButton);
  QVERIFY(!spin.IsGaugeShown());
  QCOMPARE(applied.count(), 1);
}

void TestControls::radioGroup()
{
  TImprovedRadioGroup group;
  group.SetItems({"&Median", "Mean", "Max"});
  group.SetColumns(2);
  group.resize(200, 80);
  group.show();
  QVERIFY(QTest::qWaitForWindowExposed(&group));
  QCOMPARE(group.Button(0)->accessibleName(), QStringLiteral("Median"));
  QSignalSpy clicked(&group, &TImprovedRadioGroup::Click);
  QTest::mouseClick(group.Button(2), Qt::LeftButton);
  QCOMPARE(group.GetItemIndex(), 2);
  QCOMPARE(clicked.count(), 1);
  QCOMPARE(clicked.first().at(0).toInt(), 2);
  group.SetItemIndex(-1);
  QVERIFY(!group.Button(2)->isChecked());
  // Only the chosen edge is drawn.
  group.SetBound(TImprovedRadioGroup::rgLeft);
  const QColor background = group.palette().color(QPalette::Window);
  QImage left = group.grab().toImage();
  QVERIFY(left.pixelColor(0, 40) != background);
  QCOMPARE(left.pixelColor(100, 0), background);
  group.SetBound(TImprovedRadioGroup::rgTop);
  QImage top = group.grab().toImage();
  QCOMPARE(top.pixelColor(0, 40), background);
  QVERIFY(top.pixelColor(100, 0) != background);
}

QTEST_MAIN(TestControls)
#include "test_controls.moc"
