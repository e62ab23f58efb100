#pragma once

// The statement that makes the `tracks` table of a new database.db, word for word as the
// program makes it: files made with it are the program's own.
inline constexpr const char* kCreateTracks =
    "CREATE TABLE tracks (id INTEGER PRIMARY KEY AUTOINCREMENT,s_track TEXT,s_trackfull TEXT,"
    "s_title TEXT,s_date TEXT,s_status TEXT,s_shop TEXT,s_comments TEXT,i_type INTEGER)";
