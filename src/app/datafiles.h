// The data files the program carries inside itself and writes out when they are missing: the user
// guide, the default correction dictionary and the greetings.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velmira {

// The names of the carried data files, in the order they are written.
QStringList dataFileNames();

// The bytes the program carries for data file `name`. Throws Error("Resource <name> not found") when
// the program does not carry it.
QByteArray carriedDataFile(const QString &name);

// Writes every carried data file that the program folder lacks, byte for byte, in the order of
// dataFileNames(); a file that exists, changed or not, is never touched. Each file is written
// atomically. Throws Error at the first file that cannot be written ("Cannot create file "<path>".
// <reason>") or is not carried; the files after it are then not written.
void writeMissingDataFiles();

} // namespace velmira
