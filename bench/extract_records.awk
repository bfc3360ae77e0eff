/^[A-Za-z_][A-Za-z0-9_]*[ \t]+ADDR[ \t]+[0-9A-Fa-f][0-9A-Fa-f]?[0-9A-Fa-f]?[0-9A-Fa-f]?[Hh][ \t]+[A-Za-z_][A-Za-z0-9_]*([ \t\r]|$)/ { n++; name[n] = $4; address[n] = $3 } END { print "records=" n+0 }
