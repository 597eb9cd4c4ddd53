#pragma once

#include <gst/gst.h>

// Up to four channels decode at once, each in its own streaming thread, beside the examination
// of each file: frame threading inside each software decoder adds little and keeps extra frames
// per thread (about 20 MB per 1080p channel). One decoding thread per decoder.
// Without direct rendering the decoder writes each picture into a buffer of its output pool.
// With it, the decoding library keeps a reference to the buffer it decoded into (a reference
// picture), so the base class finds it shared when the frame is finished and copies it into a
// newly allocated buffer: one allocation of a frame's size per frame.
// Does nothing to an element that is no software video decoder.
inline void SetUpVideoDecoder(GstElement* element) {
    GstElementFactory* factory = gst_element_get_factory(element);
    const gchar* name = factory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : nullptr;
    if (!name || !g_str_has_prefix(name, "avdec_") ||
        !gst_element_factory_list_is_type(factory, GST_ELEMENT_FACTORY_TYPE_DECODER |
                                                       GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO)) {
        return;
    }
    GObjectClass* type = G_OBJECT_GET_CLASS(element);
    if (g_object_class_find_property(type, "max-threads")) {
        g_object_set(element, "max-threads", 1, nullptr);
    }
    if (g_object_class_find_property(type, "direct-rendering")) {
        g_object_set(element, "direct-rendering", FALSE, nullptr);
    }
}
