// Anchor of the driver module: the entry points live in kelv_sim_driver_core.
