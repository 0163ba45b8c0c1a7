target_sources(lumivor_core PRIVATE
    panels/panelcontext.h
    panels/widgets.h panels/widgets.cpp
    panels/text/displaypanel.h panels/text/displaypanel.cpp
    panels/text/textentrypanel.h panels/text/textentrypanel.cpp
)
