target_sources(lumivor_core PRIVATE)
