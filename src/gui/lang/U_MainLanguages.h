#pragma once
// The main window's language packs: `langue` with its forms, text storages, excluded
// components and the Settings dialog's language list.
class TMainDlg;
class TLangList;

// Creates the window's `langue` (once all forms exist) and binds the Settings dialog's `lng`.
TLangList* SetUpLanguages(TMainDlg& main);
