target_sources(lumivor_core PRIVATE
    panels/panelcontext.h
    panels/progressview.h
    panels/widgets.h panels/widgets.cpp
    panels/graphics/coordinatespanel.h panels/graphics/coordinatespanel.cpp
    panels/graphics/pacedsend.h panels/graphics/pacedsend.cpp
    panels/graphics/patternpanel.h panels/graphics/patternpanel.cpp
    panels/graphics/picturepanel.h panels/graphics/picturepanel.cpp
    panels/link/linkpanel.h panels/link/linkpanel.cpp
    panels/memory/flashpanel.h panels/memory/flashpanel.cpp
    panels/memory/flashstudio.h panels/memory/flashstudio.cpp
    panels/memory/screengrid.h panels/memory/screengrid.cpp
    panels/memory/screenpanel.h panels/memory/screenpanel.cpp
    panels/text/displaypanel.h panels/text/displaypanel.cpp
    panels/text/textentrypanel.h panels/text/textentrypanel.cpp
    panels/touch/animationpanel.h panels/touch/animationpanel.cpp
    panels/touch/touchscreenpanel.h panels/touch/touchscreenpanel.cpp
)
