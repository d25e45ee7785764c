#pragma once
// The splash window: shown while the packages load, with a line per announced operation, and
// shown again as the About box, which a click closes.
#include <QImage>
#include <QWidget>

class QLabel;
class QPlainTextEdit;

class TSplashForm : public QWidget {
  Q_OBJECT
public:
  explicit TSplashForm(QWidget* parent = nullptr);
  ~TSplashForm() override;

  void ShowSplash();
  void SetSplashStatus(const QString& text);
  // Modal; a click closes it.
  void ShowAbout();
  // The picture and mask are read from this folder (the program's own by default).
  void SetPictureFolder(const QString& folder);
  // The composed picture: splash colours with the mask as per-pixel transparency.
  const QImage& Composed() const { return ComposedImage; }

  QLabel* DateLabel = nullptr;
  QLabel* NamesLabel = nullptr;
  QLabel* AlgoLabel = nullptr;
  QLabel* LowerLabel = nullptr;
  QLabel* TitleLabel = nullptr;
  QPlainTextEdit* InfoMemo = nullptr;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  void Compose();
  void PlaceLabels();

  QString PictureFolder;
  QImage ComposedImage;
  bool ShownAsAbout = false;
};

extern TSplashForm* SplashForm;
