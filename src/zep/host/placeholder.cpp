// placeholder until the emulation lands
