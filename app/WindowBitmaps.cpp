#include "app/WindowBitmaps.h"

WindowBitmaps::WindowBitmaps(const QStringList& paths)
    : m_reader([this, paths] {
          for (const QString& path : paths)
              m_images[path] = QImage(path);
      })
{
}

WindowBitmaps::~WindowBitmaps()
{
    waitForReader();
}

void WindowBitmaps::waitForReader()
{
    if (m_reader.joinable())
        m_reader.join();
}

QPixmap WindowBitmaps::pixmap(const QString& path)
{
    waitForReader();
    const auto found = m_images.find(path);
    return QPixmap::fromImage(found != m_images.end() ? found->second : QImage(path));
}
