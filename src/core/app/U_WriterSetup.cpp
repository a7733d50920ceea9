#include "app/U_WriterSetup.h"

#include "platform/os/U_Settings.h"
#include "video/U_BmpToAvi.h"

void SetUpWriter(TBmpToAvi& writer, const TWriterSetup& setup) {
    writer.LastErrno = 0;
    writer.LeftoverFile.clear();
    writer.Width = setup.Width;
    writer.Height = setup.Height;
    writer.FrameDuration = setup.FrameDuration;
    writer.FileName = setup.FileName;
    writer.SetCodec(setup.FourCC);
    // Only a preference for the next run: a store that cannot be written must not stop this one.
    WriteSetting("LastFCC", setup.FourCC);
    try {
        writer.Open();
    } catch (...) {
        writer.Abandon();
        throw;
    }
}
