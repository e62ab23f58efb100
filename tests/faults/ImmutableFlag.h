#pragma once

#include <QString>

// Makes a file or directory unchangeable for as long as the object lives, even for root, who
// ignores permission bits: the file system's immutable attribute (what `chattr +i` sets). A
// directory with it takes no new files; a file with it cannot be opened for writing.
class ImmutableFlag
{
public:
    explicit ImmutableFlag(QString path);
    ~ImmutableFlag();
    ImmutableFlag(const ImmutableFlag&) = delete;
    ImmutableFlag& operator=(const ImmutableFlag&) = delete;

    // False when the file system or the process's privileges do not allow the attribute;
    // `why` then says what failed.
    bool isSet() const { return m_set; }
    const QString& why() const { return m_why; }

private:
    bool change(bool immutable);

    QString m_path;
    bool m_set = false;
    QString m_why;
};
