(: XQuery for retrieving all updates out of the update XML file. :)
declare variable $inputDocument external;

(<index>{doc($inputDocument)/apps/@serial}</index>,
for $v in doc($inputDocument)/apps/updates/update
    return <p>{$v/../@devid, $v/../@application, $v/@version, $v/@fileName, $v/@sys, $v/@size, $v/@sha256}</p>)
