// The numbering pattern of a picture sequence: a chosen BMP or JPG picture stands for the
// whole numbered sequence, named with a printf-style field that the player expands.
#pragma once

#include <QString>

namespace video {

struct SequencePattern {
    QString pattern;  // prefix + "%0Dd." / "%d." + extension
    bool use = false; // false: the file opens under its own name
};

// True when the name's last three characters, in any case, are "BMP" or "JPG".
bool isSequencePicture(const QString &name);

// The pattern of a picture name (see SequencePattern); only meaningful for sequence pictures.
SequencePattern sequencePattern(const QString &name);

// The name the player is given: the pattern when it applies, else the name itself.
QString videoOpenName(const QString &name);

} // namespace video
