#pragma once
// Owning holders for GStreamer and GLib references: each releases its one reference when it
// goes out of scope, so every early return cleans up.
#include <gst/gst.h>

#include <memory>

struct GstObjectUnref {
    void operator()(void* p) const { gst_object_unref(p); }
};
struct GstMiniObjectUnref {
    void operator()(void* p) const { gst_mini_object_unref(GST_MINI_OBJECT_CAST(p)); }
};
struct GErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
struct GFree {
    void operator()(void* p) const { g_free(p); }
};

using GstElementRef = std::unique_ptr<GstElement, GstObjectUnref>;
using GstBusRef = std::unique_ptr<GstBus, GstObjectUnref>;
using GstPadRef = std::unique_ptr<GstPad, GstObjectUnref>;
using GstClockRef = std::unique_ptr<GstClock, GstObjectUnref>;
using GstBufferPoolRef = std::unique_ptr<GstBufferPool, GstObjectUnref>;
using GstMessageRef = std::unique_ptr<GstMessage, GstMiniObjectUnref>;
using GstSampleRef = std::unique_ptr<GstSample, GstMiniObjectUnref>;
using GstBufferRef = std::unique_ptr<GstBuffer, GstMiniObjectUnref>;
using GstCapsRef = std::unique_ptr<GstCaps, GstMiniObjectUnref>;
using GstQueryRef = std::unique_ptr<GstQuery, GstMiniObjectUnref>;
using GErrorRef = std::unique_ptr<GError, GErrorFree>;
using GCharRef = std::unique_ptr<gchar, GFree>;
