// Generation control: "Go !", Cancel, "Match audio" and the end handlers of the video and
// audio threads. Not built yet: these handlers do nothing until generation control lands.
#include "app/U_MainDlg.h"

void TMainDlg::go_btnClick() {}

void TMainDlg::cancel_btnClick() {}

void TMainDlg::matchaudio_btnClick() {}

void TMainDlg::VideoThreadDone(TThread&) {}

void TMainDlg::MuxThreadDone(TThread&) {}
