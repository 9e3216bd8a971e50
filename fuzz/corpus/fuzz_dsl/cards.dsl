#NAME "Seed"
#INDEX_LANGUAGE "English"
#CONTENTS_LANGUAGE "Russian"

go {(smb.)} back(-)up
flight
	[m1][b]1.[/b] [p]n[/p] [c darkgreen]a ~[/c] [s]a.wav[/s]
	[m2][ex][lang id=1033]see <<wing>> \[x\] \~[/lang][/ex]
	{{note}}@ sub entry
	[m2]text
	@
