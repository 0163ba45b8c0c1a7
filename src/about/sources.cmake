target_sources(lumivor_core PRIVATE
    about/aboutpicture.h about/aboutpicture.cpp
    about/aboutwindow.h about/aboutwindow.cpp
    about/systeminfo.h about/systeminfo.cpp
)
