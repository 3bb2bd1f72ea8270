// filled as the pages move out of the window
