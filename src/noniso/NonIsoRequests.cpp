#include "noniso/NonIsoRequests.h"

#include "noniso/RawCodec.h"

namespace NonIso {

NonIsoReadRequest ReadRequest(const Selection &selection)
{
    NonIsoReadRequest request;
    request.standardFormat = selection.standardFormat;
    request.command = Hkd382ReadCommand(selection);
    for (int track = 1; track <= 3; ++track)
        request.trackReads[size_t(track - 1)] =
            Vnt290bReadTrack(track, selection.standardFormat, selection.trackFormat[size_t(track - 1)]);
    return request;
}

NonIsoWriteRequest WriteRequest(const WriteJob &job)
{
    NonIsoWriteRequest request;
    request.standardFormat = job.standardFormat;
    request.block = Hkd382WriteBlock(job);
    for (const Send &send : Vnt290bWriteSends(job))
        request.sends.append({send.bytes, send.awaitAck});
    return request;
}

std::array<bool, 3> High210(const Densities &densities)
{
    return {densities[0] == Density::Bpi210, densities[1] == Density::Bpi210, densities[2] == Density::Bpi210};
}

} // namespace NonIso
