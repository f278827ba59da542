#pragma once

// Start-up check of the network layer the console depends on: the SNMP library
// initialises and a UDP socket can be made. False means the console cannot work.
bool InitialiseNetworkLayer();
