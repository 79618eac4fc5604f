#pragma once
// The image control of the viewer: shows one picture at its own size, never scaled, and takes
// that size itself; the picture area around it clips it and the scroll bars move it. Only the
// visible part is drawn, so a picture far larger than the screen costs no more to paint.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QWidget>
#include <memory>

class QMovie;

class ImageBox : public QWidget {
    Q_OBJECT
public:
    explicit ImageBox(QWidget* parent = nullptr);
    ~ImageBox() override;

    // Loads the file as a picture and takes its size. False when it cannot be read or decoded
    // (not a picture, damaged, empty, or larger than the decoder may allocate); the image
    // then shows nothing.
    bool LoadPicture(const QString& path);
    // Shows nothing and goes back to the size of an empty image control.
    void Clear();
    bool HasPicture() const { return !mImage.isNull() || mMovie != nullptr; }
    bool IsAnimated() const { return mMovie != nullptr; }
    // The frame shown (the first frame of an animation until it moves on).
    QImage CurrentImage() const;

    // Size of the image control when it holds no picture, in pixels (255 twips).
    static QSize EmptySize();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool LoadAnimation(const QString& path);
    void StopAnimation();

    QImage mImage;
    QByteArray mMovieBytes;  // an animation plays from memory: the file stays free to delete
    std::unique_ptr<QBuffer> mMovieBuffer;
    std::unique_ptr<QMovie> mMovie;
};
