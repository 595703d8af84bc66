// A late-bound client of the control, run by the system's script host:
//   cscript //nologo late_bound.js PICTURE UNREADABLE
WScript.Echo("host " + WScript.FullName);
var c = new ActiveXObject("Quillmount.SusiePlugin");
c.Start();
WScript.Echo("filter " + c.AllPicturesFilter);
var p = c.LoadSusiePicture(WScript.Arguments(0));
WScript.Echo(p == null ? "no picture" : "picture " + p.Width + "x" + p.Height + " progress " + c.ProgressValue + "/" + c.ProgressMax);
try {
    c.LoadSusiePicture(WScript.Arguments(1));
    WScript.Echo("no error");
} catch (e) {
    WScript.Echo("error " + (e.number >>> 0).toString(16));
}
