#pragma once
// The order in which pictures chosen together join the list: the order a file manager shows
// their folder in, not the order a dialog happened to return them in.
#include <string>
#include <vector>

// Compares two file names as file managers sort them: letters without regard to case, runs of
// digits by their value (img2 before img10). Names that differ only in case or in leading
// zeros still get a fixed order, so the result never depends on the input's order.
// Negative, 0 or positive like strcmp.
int CompareNaturalNames(const std::string& a, const std::string& b);

// Replaces `files` (full paths) by the plain files of the first path's folder that occur in
// `files`, each once, in natural name order. Names outside that folder are dropped, and a
// folder that cannot be listed leaves nothing. A name matches its own spelling first and,
// when the folder has no file of that spelling, one that differs only in case.
void SortByDirectoryOrder(std::vector<std::string>& files);
