#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <map>
#include <thread>

// The window's bitmaps, read from the resources on a thread of their own while the window makes
// its other controls: finding the image reader, unpacking the resource and reading the pixels
// take some 3 ms of a start, which the second core does instead. Images are thread-safe to read;
// only the pixmaps, made by pixmap(), belong to the window's thread.
class WindowBitmaps
{
public:
    explicit WindowBitmaps(const QStringList& paths);
    ~WindowBitmaps();
    WindowBitmaps(const WindowBitmaps&) = delete;
    WindowBitmaps& operator=(const WindowBitmaps&) = delete;

    // The bitmap at `path`, once every bitmap has been read; a path that was not asked for is
    // read here and then. An unreadable bitmap gives an empty pixmap, as QPixmap(path) does.
    QPixmap pixmap(const QString& path);

private:
    void waitForReader();

    std::map<QString, QImage> m_images;
    std::thread m_reader;
};
