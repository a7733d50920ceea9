#pragma once
// The video containers a render writes, chosen by the output's extension, and which codecs each
// one holds. The AVI is the program's own file; the others are written by libavformat.
#include <string>
#include <vector>

#include "platform/codec/U_Codecs.h"

enum class TContainer { Avi, Mp4, Mkv, WebM };

// By the extension, in any case: .mp4 .m4v .mov, .mkv, .webm; everything else is the AVI.
TContainer ContainerOf(const std::string& path);
// "AVI", "MP4", "MKV", "WebM".
std::string ContainerName(TContainer container);
// "An MP4 file", "A WebM file".
std::string ContainerFileText(TContainer container);
// The output name as given when its extension names a container (".avi" exactly, the others in
// any case), else with ".avi" added.
std::string WithContainerExtension(const std::string& path);
// Every container, the AVI first.
const std::vector<TContainer>& AllContainers();

// The container takes this codec's stream (the AVI: its FourCC is in the AVI's tables).
bool ContainerHolds(TContainer container, const TCodecInfo& codec);
// The containers that take the codec, as "AVI, MP4, MKV".
std::string ContainersText(const TCodecInfo& codec);
// The FourCC selected when the chosen one does not fit: H264, or VP90 for WebM.
std::string FallbackFourCC(TContainer container);
// "" when the container takes the codec; else one plain sentence naming the codecs that fit
// among `listed`.
std::string ContainerRefusal(TContainer container, const TCodecInfo& codec,
                             const std::vector<TCodecInfo>& listed);

// libavformat's muxer for the file: "mp4", "mov", "matroska", "webm"; "" for the AVI.
std::string MuxerName(const std::string& path);
// The sound a container takes when the song must be encoded: Opus for WebM, AAC otherwise.
std::string DefaultSoundEncoder(TContainer container);
// A song's sound of this codec (FFmpeg's AVCodecID) can be copied into it as it is: MP3 into
// the AVI, MP4 and MKV; AAC into MP4 and MKV; Opus and Vorbis into MKV and WebM; FLAC into MKV.
bool ContainerHoldsSound(TContainer container, int codecId);
// "MP3", "AAC", "Vorbis", "Opus", "FLAC", else the codec's own short name in capitals.
std::string SoundCodecText(int codecId);
