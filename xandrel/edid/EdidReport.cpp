// Placeholder until the EDID decoder lands.
