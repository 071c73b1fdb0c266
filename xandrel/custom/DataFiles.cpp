// Placeholder until the data-file code lands.
