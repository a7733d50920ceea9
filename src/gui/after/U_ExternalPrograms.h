#pragma once
// The outside party's programs (the disc burner and the DVD converters): where the settings
// store says they are installed, and the job files handed to the burner.
#include <QString>

// The key under the machine hive that names the programs' folders or files.
inline constexpr const char* DalvexKey = "Software\\Dalvex";

// Web pages offering the programs when they are not installed.
inline constexpr const char* DvdConverterDownloadUrl = "https://www.dalvex.com/movietodisc/";
inline constexpr const char* BurnerDownloadUrl = "https://www.dalvex.com/burndeck/";

// The full path of the program, or empty text when it is not installed. The store value
// `valueName` names either the program file or its folder (with or without a trailing '/'),
// in which case `programFile` is appended. Only an executable regular file counts.
QString FindExternalProgram(const QString& valueName, const QString& programFile);
QString FindBurner();
// The first choice, and only when it is missing the second.
QString FindDvdConverter();

// Where job files live: the executable's folder when we may write there, else
// $XDG_STATE_HOME/Morvanta/ (made when missing). No trailing '/'.
QString DefaultJobFolder();
// `<folder>/<prefix>_<number><extension>`, e.g. ".../mrv_0.bdj".
QString JobFilePath(const QString& folder, const QString& prefix, int number,
                    const QString& extension);

// Writes the job list file: `videoFile` as one UTF-8 line ended by CR LF, replacing any
// earlier file. Returns empty text on success, else a message naming the file.
QString WriteJobListFile(const QString& path, const QString& videoFile);
