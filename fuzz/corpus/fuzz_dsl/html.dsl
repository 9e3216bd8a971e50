#NAME "h"

R&D
	[m1]a < b <<b>> &amp; <b>x</b><br/>y &#8212; <a href="u">l</a> <!-- c -->
&lt;
	~ <i>i</i>
