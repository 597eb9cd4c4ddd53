#pragma once

#include "engine/GstRef.h"

#include <gst/video/video.h>

// The caps (not a reference of its own) and the format of an allocation query for raw video;
// nullptr when the query is another one.
inline GstCaps* RawVideoAllocation(GstQuery* query, GstVideoInfo& video) {
    if (GST_QUERY_TYPE(query) != GST_QUERY_ALLOCATION) {
        return nullptr;
    }
    GstCaps* caps = nullptr;
    gst_query_parse_allocation(query, &caps, nullptr);
    return caps && gst_video_info_from_caps(&video, caps) ? caps : nullptr;
}

// Answers a video allocation query with a pool of pictures for its caps, reused frame after
// frame (without one, a scaler allocates every picture anew and the kernel clears each one).
// Returns the pool offered, or nothing when the query is no allocation query for raw video.
inline GstBufferPoolRef OfferPicturePool(GstQuery* query) {
    GstVideoInfo video;
    GstCaps* caps = RawVideoAllocation(query, video);
    if (!caps) {
        return nullptr;
    }
    // Enough pictures for the one on screen, the one before it, a held one and the sink's
    // queue; more are made only while more are out, and kept for reuse.
    constexpr guint kPreallocated = 4;
    GstBufferPoolRef pool(gst_video_buffer_pool_new());
    GstStructure* config = gst_buffer_pool_get_config(pool.get());
    gst_buffer_pool_config_set_params(config, caps, guint(GST_VIDEO_INFO_SIZE(&video)), kPreallocated, 0);
    gst_buffer_pool_config_add_option(config, GST_BUFFER_POOL_OPTION_VIDEO_META);
    if (!gst_buffer_pool_set_config(pool.get(), config)) {
        return nullptr;
    }
    gst_query_add_allocation_pool(query, pool.get(), guint(GST_VIDEO_INFO_SIZE(&video)), kPreallocated, 0);
    gst_query_add_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr);
    return pool;
}
