// Project files (.oxp): one SQLite database holding a ProjectData. A save writes a new
// database beside the target in one transaction and renames it over the target only when it
// is complete, so a crash or a full disk never leaves a half-written project behind; a read
// checks everything before it hands anything out.
#pragma once

#include "app/project/projectdata.h"

#include <QString>

#include <optional>

namespace project {

enum class ReadError {
    None,
    Unreadable,   // the file cannot be opened or read at all
    NotAProject,  // not an Orvane project, or damaged
    NewerVersion, // written by a newer program in a format this one does not know
};

class ProjectFile {
public:
    // False with the reason when the project could not be written; the target is then as it
    // was before.
    static bool write(const QString &path, const ProjectData &data, QString *error);
    // The project, or nothing with the reason (and a detail for the log or the message).
    static std::optional<ProjectData> read(const QString &path, ReadError *error,
                                           QString *detail = nullptr);

    // The file's identification in the database header ("OXP1").
    static constexpr int kApplicationId = 0x4F585031;
};

} // namespace project
