; Fleetwarden configuration template
;
; The console reads this file and never writes it. It sits beside each program
; under the program's name with the extension "tpl" (fleetwarden.tpl beside
; fleetwarden.ini). It may be stored as UTF-8 or as UTF-16 with a byte-order mark.
; Names are written in double quotes.
;
; [AvailableExclusions] lists the groups of settings that the administrator may
; keep out of a configuration before it is downloaded to terminals: a name, then
; multi_sz: and quoted strings taken in pairs, a key path of the terminal's
; configuration and a value name under that key. A value name of "*" removes the
; whole key with its subkeys. Key paths and value names are not case-sensitive.
; More exclusions may be added to section [AvailableExclusions] of the settings file.

[Template-Version]
"Version"=1.0

[AvailableExclusions]
; Each terminal keeps its own name and address settings.
"Network Addressing"=multi_sz:"HKEY_LOCAL_MACHINE\Software\Terminal\Network","HostName","HKEY_LOCAL_MACHINE\Software\Terminal\Network","DHCP","HKEY_LOCAL_MACHINE\Software\Terminal\Network","IPAddress","HKEY_LOCAL_MACHINE\Software\Terminal\Network","SubnetMask","HKEY_LOCAL_MACHINE\Software\Terminal\Network","DefaultGateway","HKEY_LOCAL_MACHINE\Software\Terminal\Network","DNSServers"
; The session server and port the terminal connects to.
"Session Server"=multi_sz:"HKEY_LOCAL_MACHINE\Software\Terminal\Session","Server","HKEY_LOCAL_MACHINE\Software\Terminal\Session","Port"
; Screen resolution, colour depth and refresh rate, which follow each monitor.
"Display"=multi_sz:"HKEY_LOCAL_MACHINE\Software\Terminal\Display","*"
; Stored passwords: the local administrator's, the session login's, the wireless key.
"Passwords"=multi_sz:"HKEY_LOCAL_MACHINE\Software\Terminal\Security","AdminPassword","HKEY_LOCAL_MACHINE\Software\Terminal\Session","Password","HKEY_LOCAL_MACHINE\Software\Terminal\Network\Wireless","Passphrase"
