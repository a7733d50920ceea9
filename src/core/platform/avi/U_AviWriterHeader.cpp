// The writer's header block and index chunks, built in memory before they go to the file.
#include <algorithm>
#include <cstring>

#include "platform/avi/U_AviLayout.h"
#include "platform/base/U_Rounding.h"

namespace avi_detail {

using riff::TMemSink;
using riff::TRiffChunk;

namespace {

void WriteAvih(TMemSink& m, const std::vector<TWriterStream>& streams, const TWriterTotals& t) {
    const TWriterStream* video = nullptr;
    std::uint32_t largest = 0;
    for (const auto& s : streams) {
        if (video == nullptr && s.Info.fccType == streamtypeVIDEO) video = &s;
        largest = std::max(largest, s.Largest);
    }
    std::uint32_t microSecPerFrame = 0;
    std::uint32_t width = 0, height = 0, firstRiffFrames = 0;
    if (video != nullptr) {
        const AVISTREAMINFO& i = video->Info;
        microSecPerFrame = static_cast<std::uint32_t>(
            RoundToInt64(static_cast<long double>(i.dwScale) * 1000000.0L / i.dwRate));
        width = static_cast<std::uint32_t>(i.rcFrame.right - i.rcFrame.left);
        height = static_cast<std::uint32_t>(i.rcFrame.bottom - i.rcFrame.top);
        firstRiffFrames = video->FirstRiffChunks;
    }
    TRiffChunk avih(m, kAvih);
    m.U32(microSecPerFrame);                           // dwMicroSecPerFrame
    m.U32(t.MaxBytesPerSec);                           // dwMaxBytesPerSec
    m.U32(0);                                          // dwPaddingGranularity
    m.U32(t.Final ? AVIF_HASINDEX : 0);                // dwFlags
    m.U32(firstRiffFrames);                            // dwTotalFrames (first RIFF only)
    m.U32(0);                                          // dwInitialFrames
    m.U32(static_cast<std::uint32_t>(streams.size())); // dwStreams
    m.U32(largest);                                    // dwSuggestedBufferSize
    m.U32(width);                                      // dwWidth
    m.U32(height);                                     // dwHeight
    m.Zeros(16);                                       // dwReserved[4]
}

void WriteStrh(TMemSink& m, const TWriterStream& s) {
    const AVISTREAMINFO& i = s.Info;
    TRiffChunk strh(m, kStrh);
    m.U32(i.fccType);                                    // fccType
    m.U32(i.fccHandler);                                 // fccHandler
    m.U32(i.dwFlags);                                    // dwFlags
    m.U16(i.wPriority);                                  // wPriority
    m.U16(i.wLanguage);                                  // wLanguage
    m.U32(i.dwInitialFrames);                            // dwInitialFrames
    m.U32(i.dwScale);                                    // dwScale
    m.U32(i.dwRate);                                     // dwRate
    m.U32(i.dwStart);                                    // dwStart
    m.U32(static_cast<std::uint32_t>(s.Length));         // dwLength
    m.U32(std::max(s.Largest, i.dwSuggestedBufferSize)); // dwSuggestedBufferSize
    m.U32(i.dwQuality);                                  // dwQuality
    m.U32(i.dwSampleSize);                               // dwSampleSize
    m.U16(static_cast<std::uint16_t>(i.rcFrame.left));   // rcFrame.left
    m.U16(static_cast<std::uint16_t>(i.rcFrame.top));    // rcFrame.top
    m.U16(static_cast<std::uint16_t>(i.rcFrame.right));  // rcFrame.right
    m.U16(static_cast<std::uint16_t>(i.rcFrame.bottom)); // rcFrame.bottom
}

void WriteSuperIndex(TMemSink& m, const TWriterStream& s, bool final) {
    TRiffChunk indx(m, kIndx);
    // Entries appear at Close only: until then readers scan movi rather than trust a partial
    // index.
    const std::size_t used = final ? s.Super.size() : 0;
    m.U16(4);                                // wLongsPerEntry
    m.U8(0);                                 // bIndexSubType
    m.U8(AVI_INDEX_OF_INDEXES);              // bIndexType
    m.U32(static_cast<std::uint32_t>(used)); // nEntriesInUse
    m.U32(s.ChunkId);                        // dwChunkId
    m.Zeros(12);                             // dwReserved[3]
    for (std::size_t k = 0; k < kSuperIndexEntries; ++k) {
        if (k < used) {
            m.U64(s.Super[k].Offset);   // qwOffset
            m.U32(s.Super[k].Size);     // dwSize
            m.U32(s.Super[k].Duration); // dwDuration
        } else {
            m.Zeros(16);
        }
    }
}

} // namespace

std::vector<std::uint8_t> BuildHeaderBlock(const std::vector<TWriterStream>& streams,
                                           const TWriterTotals& totals) {
    TMemSink m;
    const TWriterStream* video = nullptr;
    {
        TRiffChunk hdrl(m, kLIST, kHdrl);
        WriteAvih(m, streams, totals);
        for (const auto& s : streams) {
            if (video == nullptr && s.Info.fccType == streamtypeVIDEO) video = &s;
            TRiffChunk strl(m, kLIST, kStrl);
            WriteStrh(m, s);
            {
                TRiffChunk strf(m, kStrf);
                m.Append(s.Format.data(), s.Format.size());
            }
            const std::size_t nameLength = strnlen(s.Info.szName, sizeof s.Info.szName);
            if (nameLength > 0) {
                TRiffChunk strn(m, kStrn);
                m.Append(s.Info.szName, nameLength);
                m.U8(0);
            }
            WriteSuperIndex(m, s, totals.Final);
        }
        TRiffChunk odml(m, kLIST, kOdml);
        TRiffChunk dmlh(m, kDmlh);
        m.U32(video != nullptr ? static_cast<std::uint32_t>(video->Length) : 0); // dwTotalFrames
        m.Zeros(kDmlhSize - 4);
    }
    // The RIFF header (12 bytes) precedes this block; JUNK brings movi to an aligned offset.
    const std::uint64_t used = 12 + m.Pos() + 8;
    const std::uint64_t moviPos = (used + kHeaderAlign - 1) / kHeaderAlign * kHeaderAlign;
    {
        TRiffChunk junk(m, kJunk);
        m.Zeros(moviPos - used);
    }
    return m.Bytes();
}

void BuildStandardIndex(TMemSink& m, const TWriterStream& s, std::uint64_t base) {
    TRiffChunk ix(m, s.IndexId);
    m.U16(2);                                        // wLongsPerEntry
    m.U8(0);                                         // bIndexSubType
    m.U8(AVI_INDEX_OF_CHUNKS);                       // bIndexType
    m.U32(static_cast<std::uint32_t>(s.Seg.size())); // nEntriesInUse
    m.U32(s.ChunkId);                                // dwChunkId
    m.U64(base);                                     // qwBaseOffset
    m.U32(0);                                        // dwReserved3
    for (const auto& e : s.Seg) {
        m.U32(e.Offset); // dwOffset
        m.U32(e.Size);   // dwSize
    }
}

void BuildIdx1(TMemSink& m, const std::vector<TIdx1Entry>& entries) {
    TRiffChunk idx1(m, kIdx1);
    for (const auto& e : entries) {
        m.U32(e.ChunkId); // ckid
        m.U32(e.Flags);   // dwFlags
        m.U32(e.Offset);  // dwChunkOffset
        m.U32(e.Size);    // dwChunkLength
    }
}

} // namespace avi_detail
