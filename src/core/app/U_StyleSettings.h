#pragma once
// The show's look as the settings store keeps it between sessions (Expert Options): one string
// value per choice, named as in project files and on the command line ("Transition",
// "CaptionSize", ...). A value that is empty or cannot be read leaves the plain show's choice.
#include <functional>
#include <string>

#include "video/U_ShowStyle.h"

// The look from values read through `read` (name -> text, "" when absent).
TShowStyle ShowStyleFrom(const std::function<std::string(const std::string&)>& read);
// The text of each of StyleSettingNames() for `style`: the plain choice's is "" (nothing
// stored).
std::vector<std::pair<std::string, std::string>> ShowStyleValues(const TShowStyle& style);

// The same through the settings store. Write returns false when the store cannot be written.
TShowStyle ReadShowStyleSetting();
bool WriteShowStyleSetting(const TShowStyle& style);
