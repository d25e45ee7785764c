#include "TSplashForm.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>

#include "TKvadraMainForm.h"
#include "kvRuntime/kvInstallPaths.h"
#include "kvNamedWidget.h"

TSplashForm* SplashForm = nullptr;

namespace {
constexpr int DesignWidth = 666;
constexpr int DesignHeight = 439;
// The band below the picture strip where the texts go.
constexpr int TextBandTop = 230;
}  // namespace

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      PictureFolder(
          QFile::decodeName(kvDataFolder(QFile::encodeName(QApplication::applicationDirPath()).toStdString()).c_str()))
{
  if (!SplashForm) SplashForm = this;
  setObjectName("SplashForm");
  setWindowTitle("Kvadra 2");
  setAccessibleName("Kvadra 2");
  // The mask becomes real per-pixel transparency instead of a copy of the screen underneath.
  setAttribute(Qt::WA_TranslucentBackground);
  resize(DesignWidth, DesignHeight);

  auto label = [this](const char* name, const QString& text) {
    auto* l = new QLabel(text, this);
    l->setObjectName(name);
    l->setStyleSheet("color: #e8ecf2; background: transparent;");
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    return l;
  };
  TitleLabel = label("TitleLabel", "Kvadra 2 \u2014 The Tessellary");
  QFont title = TitleLabel->font();
  title.setPointSizeF(title.pointSizeF() * 1.8);
  title.setBold(true);
  TitleLabel->setFont(title);
  DateLabel = label("DateLabel", "beta (" + BuildDateText() + ")");
  DateLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  NamesLabel = label("NamesLabel",
                     "A workbench for image noise\nand noise removal.\n"
                     "Written by the Kvadra developers.");
  AlgoLabel = label("AlgoLabel", "Contains an implementation of the FFTW algorithm.");
  LowerLabel = label("LowerLabel", "Copyright \u00a9 the Kvadra developers. Free software.");
  QFont small = LowerLabel->font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  LowerLabel->setFont(small);
  AlgoLabel->setFont(small);

  InfoMemo = Named(new QPlainTextEdit(this), "InfoMemo");
  InfoMemo->setReadOnly(true);
  InfoMemo->setEnabled(false);
  InfoMemo->setFrameStyle(QFrame::NoFrame);
  InfoMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  InfoMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  InfoMemo->setStyleSheet("QPlainTextEdit { color: #a0a8b4; background: transparent; }");
  InfoMemo->setAttribute(Qt::WA_TransparentForMouseEvents);
  for (int i = 0; i < 4; ++i) InfoMemo->appendPlainText("");
  Compose();
}

TSplashForm::~TSplashForm()
{
  if (SplashForm == this) SplashForm = nullptr;
}

void TSplashForm::SetPictureFolder(const QString& folder)
{
  PictureFolder = folder;
  Compose();
}

void TSplashForm::Compose()
{
  QImage splash(PictureFolder + "/splash.bmp");
  QImage mask(PictureFolder + "/mask.bmp");
  if (splash.isNull()) {
    // Without the build's picture: a plain slate card, so start-up still shows something.
    splash = QImage(DesignWidth, DesignHeight, QImage::Format_RGB32);
    splash.fill(QColor(40, 46, 58));
  }
  splash = splash.convertToFormat(QImage::Format_RGB32);
  if (mask.size() != splash.size()) {
    mask = QImage(splash.size(), QImage::Format_RGB32);
    mask.fill(Qt::white);
  }
  mask = mask.convertToFormat(QImage::Format_RGB32);
  // Alpha is the mask: white shows the splash, black the desktop behind the window.
  ComposedImage = QImage(splash.size(), QImage::Format_ARGB32);
  for (int y = 0; y < splash.height(); ++y) {
    const QRgb* s = reinterpret_cast<const QRgb*>(splash.constScanLine(y));
    const QRgb* m = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
    QRgb* out = reinterpret_cast<QRgb*>(ComposedImage.scanLine(y));
    for (int x = 0; x < splash.width(); ++x) out[x] = qRgba(qRed(s[x]), qGreen(s[x]), qBlue(s[x]), qGreen(m[x]));
  }
  resize(ComposedImage.size());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
  }
  PlaceLabels();
}

void TSplashForm::PlaceLabels()
{
  const int w = width(), h = height();
  const int band = std::min(TextBandTop, h - 150);
  TitleLabel->setGeometry(20, band + 8, w - 200, 34);
  DateLabel->setGeometry(w - 190, band + 10, 170, 30);
  NamesLabel->setGeometry(20, band + 44, w / 2 - 20, 54);
  AlgoLabel->setGeometry(20, h - 44, w / 2, 18);
  LowerLabel->setGeometry(20, h - 26, w / 2, 18);
  InfoMemo->setGeometry(w / 2 + 10, band + 44, w / 2 - 30, h - band - 56);
}

void TSplashForm::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(0, 0, ComposedImage);
}

void TSplashForm::ShowSplash()
{
  ShownAsAbout = false;
  show();
  raise();
  repaint();
}

void TSplashForm::SetSplashStatus(const QString& text)
{
  InfoMemo->appendPlainText(text);
  InfoMemo->repaint();
}

void TSplashForm::ShowAbout()
{
  Compose();
  InfoMemo->clear();
  ShownAsAbout = true;
  setWindowModality(Qt::ApplicationModal);
  setFocusPolicy(Qt::StrongFocus);
  show();
  raise();
  activateWindow();
  QEventLoop loop;
  connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
  while (ShownAsAbout && isVisible()) loop.processEvents(QEventLoop::WaitForMoreEvents);
  setWindowModality(Qt::NonModal);
}

void TSplashForm::keyPressEvent(QKeyEvent* event)
{
  // Keyboard users close the About box with Escape, Enter or Space.
  if (ShownAsAbout && (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
                       event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space)) {
    ShownAsAbout = false;
    hide();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TSplashForm::mousePressEvent(QMouseEvent* event)
{
  // During start-up clicks do nothing; the About box closes.
  if (ShownAsAbout) {
    ShownAsAbout = false;
    hide();
  }
  event->accept();
}
