#include "startup_project.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

STARTUP_PROJECT *startup_project = nullptr;

STARTUP_PROJECT::STARTUP_PROJECT(QWidget *parent)
    : QWidget(parent), image_(QStringLiteral(":/startup_project/logo.png")),
      label_(new QLabel(this)), text_(QStringLiteral("Ждите ..."))
{
    image_ = image_.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        // A translucent white veil pales the logo behind the status text.
        QPainter painter(&image_);
        const QColor veil(255, 255, 255, 98);
        painter.setPen(veil);
        painter.setBrush(veil);
        painter.drawRect(image_.rect());
    }

    label_->setGeometry(10, 277, image_.width() - 20, 20);
    show_label_text();

    const QRect desktop = QGuiApplication::primaryScreen()
                              ? QGuiApplication::primaryScreen()->geometry()
                              : QRect(0, 0, image_.width(), image_.height());
    setGeometry((desktop.width() - image_.width()) / 2, (desktop.height() - image_.height()) / 2,
                image_.width(), image_.height());

    setMouseTracking(true);
    setWindowTitle(QStringLiteral("Запуск программы"));
    setWindowFlags(Qt::SplashScreen | Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_QuitOnClose);
    Close();
}

void STARTUP_PROJECT::show_label_text()
{
    label_->setText(QStringLiteral("<b>") + text_.toHtmlEscaped() + QStringLiteral("</b>"));
}

void STARTUP_PROJECT::Show(const QString &text)
{
    QCoreApplication::processEvents();
    setVisible(true);
    text_ = text;
    show_label_text();
    repaint();
    QCoreApplication::processEvents();
}

void STARTUP_PROJECT::Close()
{
    QCoreApplication::processEvents();
    setVisible(false);
    QCoreApplication::processEvents();
}

void STARTUP_PROJECT::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(rect(), image_);
}

void STARTUP_PROJECT::mousePressEvent(QMouseEvent *event)
{
    drag_offset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    repaint();
}

void STARTUP_PROJECT::mouseMoveEvent(QMouseEvent *event)
{
    show_label_text();
    if (event->buttons() & Qt::LeftButton) {
        setCursor(Qt::ClosedHandCursor);
        move(event->globalPosition().toPoint() - drag_offset_);
    } else {
        setCursor(Qt::ArrowCursor);
    }
}

void STARTUP_PROJECT::mouseReleaseEvent(QMouseEvent *) { setCursor(Qt::ArrowCursor); }
