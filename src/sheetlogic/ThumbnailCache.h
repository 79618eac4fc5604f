#pragma once
// The thumbnails of pictures, kept where file managers keep theirs ($XDG_CACHE_HOME/thumbnails):
// a PNG named after the MD5 of the picture's file:// URI, carrying that URI and the picture's
// modification time (Thumb::URI, Thumb::MTime), so that a picture changed since is made afresh
// and a thumbnail made by another program is used as it is. A picture that cannot be decoded is
// remembered under fail/, so that the next opening does not try it again.
// Every function may run on any thread: the files are written whole under a temporary name.

#include <QImage>
#include <QString>
#include <atomic>

class ThumbnailCache {
public:
    enum class Size { Normal, Large };  // at most 128 or 256 pixels a side

    // root: the thumbnails folder; empty means the desktop's ($XDG_CACHE_HOME/thumbnails).
    explicit ThumbnailCache(QString root = {});

    static QString DefaultRoot();
    static int Pixels(Size size) { return size == Size::Normal ? 128 : 256; }
    // The picture's URI as the cache names it: file:// and the absolute path, percent-encoded.
    static QString Uri(const QString& file);
    // MD5 of the URI in hex, and ".png".
    static QString FileName(const QString& uri);

    QString root() const { return mRoot; }
    QString PathFor(const QString& file, Size size) const;
    QString FailPathFor(const QString& file) const;

    // The kept thumbnail when it is there and still belongs to the picture as it is now; a null
    // image otherwise.
    QImage Cached(const QString& file, Size size) const;
    // Decodes the picture, scales it down and keeps the result; a null image when the picture
    // cannot be decoded (remembered as such).
    QImage Make(const QString& file, Size size) const;
    // The kept thumbnail, else a new one; null for a picture known not to decode.
    QImage Load(const QString& file, Size size) const;

    // How many pictures this process decoded for thumbnails (the second opening decodes none).
    static int Decodes() { return sDecodes.load(); }

private:
    bool KnownToFail(const QString& file) const;
    void Keep(const QImage& thumbnail, const QString& path) const;

    QString mRoot;
    static std::atomic<int> sDecodes;
};
