// keeps the library non-empty while the layer grows
