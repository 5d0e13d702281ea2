// The picture calls once their source is loaded, shared by the ANSI and the
// Unicode entry points. Each answers `loaded` when it is not kResultOk, and
// otherwise releases the source before it returns.
#pragma once

#include "plugin/plugin_api.h"
#include "plugin/source_loading.h"

// The picture's geometry as the host sees it: the frames' widest width and
// their heights' 32-bit sum, whatever the signature says, or kProbeBroken
// when the head, palette, table or a frame head lies outside the data. Any
// other answer is the probe's status.
constexpr mca_status kProbeBroken = MCA_HEAD_OUTSIDE;
mca_status ProbeGeometry(const SourceBytes& bytes, mca_info* geometry);

int32_t DescribePicture(int32_t loaded, Source* source, PictureInfo* lpInfo);
int32_t DeliverPicture(int32_t loaded, Source* source, HLOCAL* pHBInfo, HLOCAL* pHBm, ProgressCallback callback,
                       LONG_PTR data);
