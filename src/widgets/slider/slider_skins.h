// The artwork of the two slider skins, drawn in code at the skins' exact sizes.
#pragma once

#include <QImage>

#include "widgets/slider/slider_geometry.h"

namespace ostrel {

struct SliderSkinImages {
    QImage Strip;          // the track strip: left cap, middle slice, right cap
    QImage Thumb;          // drawn while the slider is enabled
    QImage DisabledThumb;  // drawn while it is disabled
    QImage Fill;           // stretched over the filled part of the track
    // Columns of the fill's rounded left end that are copied unstretched, so the end keeps
    // the shape of the track's own left end however wide the fill is.
    int FillFixedLeft = 0;
};

// The images of a skin for a device pixel ratio; in device-independent pixels each has the
// size SkinSize gives. Built once per skin and ratio, on the GUI thread.
const SliderSkinImages& SkinImages(SliderSkin skin, qreal devicePixelRatio);

}  // namespace ostrel
