#pragma once
// The start-up splash: the paled logo with a one-line status, centred on the screen and
// draggable, shown while the station files are read and the main window is built.

#include <QImage>
#include <QPoint>
#include <QWidget>

class QLabel;

class STARTUP_PROJECT : public QWidget {
    Q_OBJECT
public:
    explicit STARTUP_PROJECT(QWidget *parent = nullptr);

    QString text() const { return text_; }
    QLabel *label() const { return label_; }
    const QImage &image() const { return image_; }

public slots:
    // Makes the splash visible with the text in bold, painted at once.
    void Show(const QString &text);
    // Hides the splash; the object stays.
    void Close();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void show_label_text();

    QImage image_;
    QLabel *label_;
    QString text_;
    QPoint drag_offset_;
};

// The one splash of the program, for whoever has to hide it.
extern STARTUP_PROJECT *startup_project;
