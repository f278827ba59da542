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
"Network Addressing"=multi_sz:"HKEY_LOCAL_MACHINE\SOFTWARE\ThinClient\Network","HostName","HKEY_LOCAL_MACHINE\SOFTWARE\ThinClient\Network","DomainName","HKEY_LOCAL_MACHINE\SOFTWARE\ThinClient\Network","UseDHCP","HKEY_LOCAL_MACHINE\SOFTWARE\ThinClient\Network","IPAddress","HKEY_LOCAL_MACHINE\SOFTWARE\ThinClient\Network","SubnetMask","HKEY_LOCAL_MACHINE\SOFTWARE\ThinClient\Network","DefaultGateway","HKEY_LOCAL_MACHINE\SOFTWARE\ThinClient\Network","NameServer"
; The session server the terminal connects to, with its protocol and user.
"Session Server"=multi_sz:"HKEY_LOCAL_MACHINE\SOFTWARE\ThinClient\Session","Server","HKEY_LOCAL_MACHINE\SOFTWARE\ThinClient\Session","Protocol","HKEY_LOCAL_MACHINE\SOFTWARE\ThinClient\Session","UserName"
; Screen resolution, colour depth and refresh rate, which follow each monitor.
"Display"=multi_sz:"HKEY_LOCAL_MACHINE\SOFTWARE\ThinClient\Display","*"
; Stored passwords: the local administrator's and the session login's.
"Passwords"=multi_sz:"HKEY_LOCAL_MACHINE\SOFTWARE\ThinClient\Security","AdminPassword","HKEY_LOCAL_MACHINE\SOFTWARE\ThinClient\Security","SessionPassword"
