#pragma once
// What a run leaves at and beside its output path, for the window and morvanta-render alike.
//
// A file already at the output path is replaced only by the complete result of the whole job.
// A run that stops or fails leaves it untouched and keeps what it made beside it, under a name
// that says what it is: "show.partial.avi" (a stopped or failed render with the frames written
// before it ended, or a multiplexing cut short), "show.silent.avi" (the video without its
// soundtrack); never over another file. Without an earlier file the unfinished video stays at
// the output path and a silent video is put back there.
//
// The run's steps, each on the main thread: BeginRunFiles, set up the writer on VideoFile
// (SetUpWriter), render; EndVideoPhase; with a soundtrack BeginAudioPhase, multiplex
// IntermediateFile and the soundtrack into MuxFile; EndAudioPhase.
#include <string>

enum class TRenderStatus { Done, Aborted, Failed };

struct TRunFiles {
    std::string OutputFile;
    // A file was at OutputFile when the run began: it stays until the job is complete.
    bool KeepsEarlierFile = false;
    // What the writer writes: OutputFile, or a reserved "<name>.partial.avi" beside it.
    std::string VideoFile;
    // The silent video while the soundtrack is added (after BeginAudioPhase).
    std::string IntermediateFile;
    // What the multiplexing writes: OutputFile, or a reserved name beside it.
    std::string MuxFile;
};

struct TPhaseEnd {
    // Done may turn into Failed when the finished video cannot take the output path.
    TRenderStatus Status = TRenderStatus::Done;
    // The file the user should look at: the output, or what was kept; "" when nothing was.
    std::string KeptFile;
    // What became of the files, for the user; "" when there is nothing to add.
    std::string Note;
};

// Before the writer is set up. Throws EMorvantaError when no name beside can be reserved.
TRunFiles BeginRunFiles(const std::string& outputFile);

// After the video phase. Done with `soundFollows`: nothing moves (the run goes on).
TPhaseEnd EndVideoPhase(TRunFiles& files, TRenderStatus status, bool soundFollows);

// Moves the finished silent video aside to the intermediate file ("temp.avi" or the first free
// "temp-N.avi") and decides where the multiplexing writes. Returns the intermediate file; throws
// EMorvantaError when the move fails (the video then stays where it was).
std::string BeginAudioPhase(TRunFiles& files);

// After the multiplexing. Done: the intermediate file is deleted. Failed: the partial output is
// deleted and the silent video kept; also after a BeginAudioPhase that failed. Aborted: both
// are kept.
TPhaseEnd EndAudioPhase(TRunFiles& files, TRenderStatus status);

// "<folder><name>.<tag>.avi" for `n` 0, "<folder><name>.<tag>-<n>.avi" after: the names tried
// for what is kept beside `outputFile` ("show.avi", "partial" gives "show.partial.avi"). An MP4,
// MKV or WebM output keeps its own extension ("show.mp4" gives "show.partial.mp4").
std::string BesideName(const std::string& outputFile, const std::string& tag, int n);
