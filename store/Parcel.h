#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

// One row of `tracks` as the rest of the program sees it. The file holds Windows-1251 text;
// it is decoded here, once, and encoded again only when a parcel goes back into the file.
struct Parcel
{
    // A row whose id is not a whole number (a table another tool made) has none: no statement
    // can name it, so it is shown but never written to. `idText` is the id as the file holds it.
    std::optional<std::int64_t> id;
    QString idText;
    QString number;         // s_track
    QString history;        // s_trackfull: one line per event, CR LF between them
    QString title;          // s_title: what the parcel holds
    QString firstEventDate; // s_date, as the page gave it
    QString status;         // s_status; NULL reads as empty
    QString shop;           // s_shop
    QString comments;       // s_comments
    QString type;           // i_type, as text
    bool archived = false;  // put in the archive by its user (kept beside `tracks`, see ArchiveMarks)

    // A parcel not stored yet, with what its user gives for it.
    static Parcel typed(QString number, QString shop = {}, QString title = {}, QString comments = {})
    {
        Parcel parcel;
        parcel.number = std::move(number);
        parcel.shop = std::move(shop);
        parcel.title = std::move(title);
        parcel.comments = std::move(comments);
        return parcel;
    }

    friend bool operator==(const Parcel&, const Parcel&) = default;
};
